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
};

// A later launch runs on a thread of its own while the running instance's main loop answers it.
Claim launchAgain(const std::string& identity, const std::filesystem::path& runtime, const std::string& startupId) {
    auto later = std::async(std::launch::async, [&] {
        UnixSocketSingleInstance second(identity, runtime);
        return second.claim(startupId);
    });
    test::runEventsUntil([&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 5000);
    return later.get();
}

// Sends raw text as a launch would, and returns what comes back.
std::string sendRaw(const std::filesystem::path& socket, const std::string& text) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return "no connection";
    ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
    ::shutdown(fd, SHUT_WR);
    std::string answer;
    auto reading = std::async(std::launch::async, [&] {
        char buffer[64];
        ssize_t n;
        while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
            answer.append(buffer, std::size_t(n));
    });
    test::runEventsUntil([&] { return reading.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 5000);
    ::close(fd);
    return answer;
}

} // namespace

TEST(UnixSocketSingleInstance, LaterLaunchesHandOverToTheRunningOne) {
    Fixture f;
    std::vector<std::string> launches;
    {
        UnixSocketSingleInstance first("/home/ann/.config/knokle", f.runtime);
        ASSERT_EQ(first.claim(""), Claim::primary);
        first.listen([&](const std::string& id) { launches.push_back(id); });

        EXPECT_EQ(launchAgain("/home/ann/.config/knokle", f.runtime, "launcher-42_TIME1234"), Claim::handedOver);
        // Ids that are not plain printable text are not passed on.
        EXPECT_EQ(launchAgain("/home/ann/.config/knokle", f.runtime, "two words"), Claim::handedOver);
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
    UnixSocketSingleInstance next("/home/ann/.config/knokle", f.runtime);
    EXPECT_EQ(next.claim(""), Claim::primary);
}

TEST(UnixSocketSingleInstance, SocketLeftByAnEndedInstanceIsReplaced) {
    Fixture f;
    std::filesystem::path socket;
    {
        UnixSocketSingleInstance probe("id", f.runtime);
        socket = probe.socketPath();
    }
    // A socket file nobody listens on, as a crashed instance leaves it.
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);

    UnixSocketSingleInstance running("id", f.runtime);
    ASSERT_EQ(running.claim(""), Claim::primary);
    running.listen([](const std::string&) {});
    EXPECT_EQ(launchAgain("id", f.runtime, ""), Claim::handedOver);
}

TEST(UnixSocketSingleInstance, RunningInstanceThatDoesNotAnswer) {
    Fixture f;
    UnixSocketSingleInstance hung("id", f.runtime);
    ASSERT_EQ(hung.claim(""), Claim::primary);
    // Listening on the socket but never serving it: the later launch does not start a second program.
    UnixSocketSingleInstance second("id", f.runtime, std::chrono::milliseconds(50));
    EXPECT_EQ(second.claim(""), Claim::noAnswer);
}

TEST(UnixSocketSingleInstance, NoPrivateFolderNoClaim) {
    Fixture f;
    ::chmod(f.runtime.c_str(), 0755);
    UnixSocketSingleInstance shared("id", f.runtime);
    EXPECT_EQ(shared.claim(""), Claim::unavailable);
    UnixSocketSingleInstance none("id", "");
    EXPECT_EQ(none.claim(""), Claim::unavailable);
    UnixSocketSingleInstance tooLong("id", f.runtime / std::string(120, 'x'));
    EXPECT_EQ(tooLong.claim(""), Claim::unavailable);
}
