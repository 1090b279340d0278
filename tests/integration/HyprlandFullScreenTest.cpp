// Full screen through Hyprland's request socket, against a stand-in that answers as Hyprland does: one request a
// connection, the answer, then end of file.

#include "TempDir.h"
#include "WindowControlChecks.h"
#include "platform/linux/wayland/HyprlandWindowControl.h"

#include <cstring>
#include <nlohmann/json.hpp>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace knokle::test {
namespace {

TEST(HyprlandFullScreen, TheLaunchedWindowIsFoundAndGoesFullScreen) {
    for (bool stateNumbers : {false, true}) { // before and since Hyprland 0.42 (where 1 is maximised)
        TempDir dir;
        nlohmann::json no = stateNumbers ? nlohmann::json(1) : nlohmann::json(false);
        nlohmann::json clients = {
            {{"address", "0x5a1"}, {"pid", 40}, {"class", "kitty"}, {"focusHistoryID", 0}, {"fullscreen", no}},
            {{"address", "0x5b2"},
             {"pid", 41},
             {"class", "org.gnome.TextEditor"},
             {"focusHistoryID", 1},
             {"fullscreen", no}},
            {{"address", "0x5c3"}, {"pid", 41}, {"class", "hidden"}, {"mapped", false}}};
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{AF_UNIX, {}};
        std::strcpy(address.sun_path, (dir / ".socket.sock").c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) | ::listen(fd, 4), 0);
        std::vector<std::string> seen;
        std::thread hyprland([&] { // the nine requests of the checks; fullscreen toggles the focused window
            for (int client; seen.size() < 9 && (client = ::accept(fd, nullptr, nullptr)) >= 0; ::close(client)) {
                char buffer[512];
                std::string request(buffer, std::size_t(std::max<ssize_t>(0, ::read(client, buffer, 512))));
                std::string answer = request == "j/clients" ? clients.dump() : "ok";
                seen.push_back(request);
                for (auto& c : clients) {
                    if (request.starts_with("dispatch focuswindow address:"))
                        c["focusHistoryID"] = int(c["address"] != request.substr(29));
                    bool on = c["fullscreen"] == (stateNumbers ? nlohmann::json(2) : nlohmann::json(true));
                    if (request == "dispatch fullscreen 0" && c["focusHistoryID"] == 0)
                        c["fullscreen"] = stateNumbers ? nlohmann::json(on ? 0 : 2) : nlohmann::json(!on);
                }
                ::send(client, answer.data(), answer.size(), MSG_NOSIGNAL);
            }
        });
        HyprlandWindowControl control(dir / ".socket.sock");
        checkFindsAndFullScreens(control);
        hyprland.join();
        ::close(fd);
        EXPECT_EQ(std::vector(seen.begin() + 5, seen.begin() + 7),
                  (std::vector<std::string>{"dispatch focuswindow address:0x5b2", "dispatch fullscreen 0"}));
    }
    EXPECT_EQ(HyprlandWindowControl::socketFor("abc_2", "/nonexistent"), "/tmp/hypr/abc_2/.socket.sock");
    for (const char* bad : {"", "..", "a/../../b"})
        EXPECT_EQ(HyprlandWindowControl::socketFor(bad, "/run"), std::nullopt) << bad;
}

} // namespace
} // namespace knokle::test
