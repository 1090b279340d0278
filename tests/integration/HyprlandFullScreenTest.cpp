// Full screen through Hyprland's request socket, against a stand-in that answers as Hyprland does: one request
// a connection, the answer, then end of file.

#include "TempDir.h"
#include "common/AtomicFile.h"
#include "platform/linux/wayland/HyprlandWindowControl.h"

#include <cstring>
#include <gtest/gtest.h>
#include <mutex>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace knokle::test {
namespace {

class FakeHyprland {
public:
    FakeHyprland(const std::filesystem::path& path, nlohmann::json clients, bool stateNumbers)
        : clients(std::move(clients)), stateNumbers(stateNumbers) {
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, path.c_str());
        ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(fd, 4);
        server = std::thread([this] { serve(); });
    }
    ~FakeHyprland() {
        ::shutdown(fd, SHUT_RDWR);
        server.join();
        ::close(fd);
    }
    std::vector<std::string> requests() {
        std::lock_guard lock(mutex);
        return seen;
    }

private:
    void serve() {
        for (int client; (client = ::accept(fd, nullptr, nullptr)) >= 0; ::close(client)) {
            char buffer[512];
            ssize_t n = ::read(client, buffer, sizeof buffer);
            if (n <= 0) continue;
            std::string request(buffer, std::size_t(n)), answer = "ok";
            std::lock_guard lock(mutex);
            seen.push_back(request);
            if (request == "j/clients") {
                answer = clients.dump();
            } else if (request.starts_with("dispatch focuswindow address:")) {
                for (auto& c : clients)
                    c["focusHistoryID"] = c["address"] == request.substr(29) ? 0 : 1;
            } else if (request == "dispatch fullscreen 0") {
                for (auto& c : clients)
                    if (c["focusHistoryID"] == 0)
                        c["fullscreen"] = stateNumbers ? nlohmann::json(c["fullscreen"] == 2 ? 0 : 2)
                                                       : nlohmann::json(!c["fullscreen"].get<bool>());
            } else {
                answer = "unknown request";
            }
            ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
        }
    }

    int fd = -1;
    nlohmann::json clients;
    bool stateNumbers;
    std::mutex mutex;
    std::vector<std::string> seen;
    std::thread server;
};

TEST(HyprlandFullScreen, TheLaunchedWindowIsFoundAndGoesFullScreen) {
    for (bool stateNumbers : {false, true}) { // before and since Hyprland 0.42
        TempDir dir;
        nlohmann::json no = stateNumbers ? nlohmann::json(1) : nlohmann::json(false); // 1: maximised
        FakeHyprland hyprland(dir / ".socket.sock",
                              {{{"address", "0x5a1"},
                                {"pid", 40},
                                {"class", "kitty"},
                                {"focusHistoryID", 0},
                                {"fullscreen", no},
                                {"mapped", true}},
                               {{"address", "0x5b2"},
                                {"pid", 41},
                                {"class", "org.gnome.TextEditor"},
                                {"focusHistoryID", 1},
                                {"fullscreen", no}},
                               {{"address", "0x5c3"}, {"pid", 41}, {"class", "hidden"}, {"mapped", false}}},
                              stateNumbers);
        HyprlandWindowControl control(dir / ".socket.sock");
        auto all = control.topLevelWindows();
        ASSERT_EQ(all.size(), 2u) << "mapped windows only";
        auto editor = control.applicationWindow({41, {}, {}});
        EXPECT_EQ(editor, all[1]);
        EXPECT_EQ(control.applicationWindow({0, {"org.gnome.texteditor"}, {}}), editor);
        EXPECT_EQ(control.applicationWindow({0, {"kitty"}, all}), std::nullopt) << "not a new one";
        EXPECT_EQ(control.isFullScreen(*editor), false);
        control.requestFullScreen(*editor);
        EXPECT_EQ(control.isFullScreen(*editor), true);
        EXPECT_EQ(control.isFullScreen(all[0]), false);
        auto requests = hyprland.requests();
        EXPECT_EQ(
            std::vector<std::string>(requests.end() - 5, requests.end() - 2),
            (std::vector<std::string>{"j/clients", "dispatch focuswindow address:0x5b2", "dispatch fullscreen 0"}));
    }
}

TEST(HyprlandFullScreen, TheSocketIsFoundWhereTheReleaseKeepsIt) {
    TempDir dir;
    std::filesystem::create_directories(dir / "hypr/abc_1");
    writeFileAtomically(dir / "hypr/abc_1/.socket.sock", "");
    EXPECT_EQ(HyprlandWindowControl::socketFor("abc_1", dir.path().c_str()), dir / "hypr/abc_1/.socket.sock");
    EXPECT_EQ(HyprlandWindowControl::socketFor("abc_2", dir.path().c_str()), "/tmp/hypr/abc_2/.socket.sock");
    EXPECT_EQ(HyprlandWindowControl::socketFor("abc_1", nullptr), "/tmp/hypr/abc_1/.socket.sock");
    for (const char* bad : {"", "..", "a/../../b"})
        EXPECT_EQ(HyprlandWindowControl::socketFor(bad, dir.path().c_str()), std::nullopt) << bad;
}

} // namespace
} // namespace knokle::test
