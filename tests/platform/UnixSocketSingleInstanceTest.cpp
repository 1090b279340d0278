#include "platform/linux/UnixSocketSingleInstance.h"
#include "QtEventLoop.h"
#include "TempDir.h"

#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace knokle;
using Claim = SingleInstance::Claim;

namespace {

struct Fixture {
    test::TempDir dir;
    std::filesystem::path runtime = dir / "run";
    Fixture() {
        std::filesystem::create_directory(runtime);
        ::chmod(runtime.c_str(), 0700);
        test::ensureQtApplication();
    }
    // A later launch runs on a thread of its own while the running instance's main loop answers it.
    template <typename F>
    static auto whileServing(F work) {
        auto later = std::async(std::launch::async, work);
        test::runEventsUntil([&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
                             5000);
        return later.get();
    }
    Claim launchAgain(const std::string& identity, const std::string& startupId = "") {
        return whileServing([&] { return UnixSocketSingleInstance(identity, runtime).claim(startupId); });
    }
};

int unixSocket(const std::filesystem::path& path, int (*attach)(int, const sockaddr*, socklen_t)) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    if (attach(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    ::close(fd);
    return -1;
}

// Sends raw text as a launch would, and returns what comes back.
std::string sendRaw(const std::filesystem::path& socket, const std::string& text) {
    return Fixture::whileServing([&] {
        int fd = unixSocket(socket, ::connect);
        std::string answer = fd < 0 ? "no connection" : "";
        ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        char buffer[64];
        for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
            answer.append(buffer, std::size_t(n));
        ::close(fd);
        return answer;
    });
}

} // namespace

TEST(UnixSocketSingleInstance, LaterLaunchesHandOverToTheRunningOne) {
    Fixture f;
    std::vector<std::string> launches;
    {
        UnixSocketSingleInstance first("/home/ann/.config/knokle", f.runtime);
        ASSERT_EQ(first.claim(""), Claim::primary);
        first.listen([&](const std::string& id) { launches.push_back(id); });

        EXPECT_EQ(f.launchAgain("/home/ann/.config/knokle", "launcher-42_TIME1234"), Claim::handedOver);
        // Ids that are not plain printable text are not passed on.
        EXPECT_EQ(f.launchAgain("/home/ann/.config/knokle", "two words"), Claim::handedOver);
        test::runEventsUntil([&] { return launches.size() == 2; });
        EXPECT_EQ(launches, (std::vector<std::string>{"launcher-42_TIME1234", ""}));

        // Another settings folder is another program.
        UnixSocketSingleInstance other("/tmp/test-config", f.runtime);
        EXPECT_EQ(other.claim(""), Claim::primary);
        EXPECT_NE(other.socketPath(), first.socketPath());

        // Something that is not a launch gets no answer and shows nothing.
        EXPECT_EQ(sendRaw(first.socketPath(), "hello\n"), "");
        EXPECT_EQ(sendRaw(first.socketPath(), "show x\n"), "ok\n");
        test::runEventsUntil([&] { return launches.size() == 3; });
        EXPECT_EQ(launches.back(), "x");
    }
    // Once it has ended, the next launch is the running one.
    EXPECT_EQ(UnixSocketSingleInstance("/home/ann/.config/knokle", f.runtime).claim(""), Claim::primary);
}

TEST(UnixSocketSingleInstance, SocketLeftByAnEndedInstanceIsReplaced) {
    Fixture f;
    // A socket file nobody listens on, as a crashed instance leaves it.
    auto socket = UnixSocketSingleInstance("id", f.runtime).socketPath();
    ASSERT_EQ(::close(unixSocket(socket, ::bind)), 0);
    UnixSocketSingleInstance running("id", f.runtime);
    ASSERT_EQ(running.claim(""), Claim::primary);
    running.listen([](const std::string&) {});
    EXPECT_EQ(f.launchAgain("id"), Claim::handedOver);
}

TEST(UnixSocketSingleInstance, NoAnswerOrNoPrivateFolderIsNoClaim) {
    Fixture f;
    UnixSocketSingleInstance hung("id", f.runtime);
    ASSERT_EQ(hung.claim(""), Claim::primary);
    // Listening on the socket but never serving it: the later launch does not start a second program.
    EXPECT_EQ(UnixSocketSingleInstance("id", f.runtime, std::chrono::milliseconds(50)).claim(""), Claim::noAnswer);

    ::chmod(f.runtime.c_str(), 0755);
    for (const auto& folder : {f.runtime, std::filesystem::path(), f.runtime / std::string(120, 'x')})
        EXPECT_EQ(UnixSocketSingleInstance("other", folder).claim(""), Claim::unavailable) << folder;
}
