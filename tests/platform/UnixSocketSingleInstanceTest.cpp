#include "platform/linux/sockets/UnixSocketSingleInstance.h"
#include "QtEventLoop.h"
#include "TempDir.h"
#include "UnixSockets.h"

#include <future>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace knokle;
using Claim = SingleInstance::Claim;

namespace {

// A later launch runs on a thread of its own while the running instance's main loop answers it.
template <typename F> auto whileServing(F work) {
    auto later = std::async(std::launch::async, work);
    test::runEventsUntil([&] { return later.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 5000);
    return later.get();
}

Claim launchAgain(const std::filesystem::path& runtime, const std::string& identity, const std::string& id = "",
                  const std::string& token = "") {
    return whileServing([&] { return UnixSocketSingleInstance(identity, runtime).claim({id, token}); });
}

// Sends raw text as a launch would, and returns what comes back.
std::string sendRaw(const std::filesystem::path& socket, const std::string& text) {
    return whileServing([&] {
        int fd = test::unixSocket(socket, ::connect);
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
    test::ensureQtApplication();
    test::TempDir runtime; // private to the user, as the runtime folder must be (mkdtemp makes it 0700)
    std::vector<std::string> launches;
    {
        UnixSocketSingleInstance first("/home/ann/.config/knokle", runtime.path());
        ASSERT_EQ(first.claim({}), Claim::primary);
        first.listen([&](const LaunchRequest& l) { launches.push_back(l.startupId + "|" + l.activationToken); });

        EXPECT_EQ(launchAgain(runtime.path(), "/home/ann/.config/knokle", "launcher-42_TIME1234"), Claim::handedOver);
        // Ids that are not plain printable text are not passed on.
        EXPECT_EQ(launchAgain(runtime.path(), "/home/ann/.config/knokle", "two words", "to\nken"), Claim::handedOver);
        // A Wayland launcher's activation token goes along.
        EXPECT_EQ(launchAgain(runtime.path(), "/home/ann/.config/knokle", "", "kwin-7_a"), Claim::handedOver);
        // Something that is not a launch gets no answer and shows nothing.
        EXPECT_EQ(sendRaw(first.socketPath(), "hello\nactivate x\n"), "");
        test::runEventsUntil([&] { return launches.size() == 3; });
        EXPECT_EQ(launches, (std::vector<std::string>{"launcher-42_TIME1234|", "|", "|kwin-7_a"}));

        // Another settings folder is another program.
        UnixSocketSingleInstance other("/tmp/test-config", runtime.path());
        EXPECT_EQ(other.claim({}), Claim::primary);
    }
    // Once it has ended, the next launch is the running one.
    EXPECT_EQ(UnixSocketSingleInstance("/home/ann/.config/knokle", runtime.path()).claim({}), Claim::primary);
}

TEST(UnixSocketSingleInstance, NoAnswerOrNoPrivateFolderIsNoClaim) {
    test::TempDir runtime;
    UnixSocketSingleInstance hung("id", runtime.path());
    ASSERT_EQ(hung.claim({}), Claim::primary);
    // Listening on the socket but never serving it: the later launch does not start a second program.
    EXPECT_EQ(UnixSocketSingleInstance("id", runtime.path(), std::chrono::milliseconds(50)).claim({}), Claim::noAnswer);

    ::chmod(runtime.path().c_str(), 0755);
    for (const auto& folder : {runtime.path(), std::filesystem::path(), runtime / std::string(120, 'x')})
        EXPECT_EQ(UnixSocketSingleInstance("other", folder).claim({}), Claim::unavailable) << folder;
}

TEST(UnixSocketSingleInstance, AStaleSocketIsReplacedAndSilentConnectionsDoNotKeepALaunchOut) {
    test::ensureQtApplication();
    test::TempDir runtime;
    // A socket file nobody listens on, as a crashed instance leaves it.
    ASSERT_EQ(::close(test::unixSocket(UnixSocketSingleInstance("id", runtime.path()).socketPath(), ::bind)), 0);
    UnixSocketSingleInstance running("id", runtime.path());
    ASSERT_EQ(running.claim({}), Claim::primary);
    int launches = 0;
    running.listen([&](const LaunchRequest&) { ++launches; });
    // Sixteen connections of this user's that never say a word, then at once a real launch, which waits 2 s for
    // its answer: the running instance must serve it while the silent ones are still open.
    std::vector<int> silent;
    auto claim = whileServing([&] {
        for (int i = 0; i < 16; ++i)
            silent.push_back(test::unixSocket(running.socketPath(), ::connect));
        return UnixSocketSingleInstance("id", runtime.path()).claim({});
    });
    EXPECT_EQ(claim, Claim::handedOver);
    test::runEventsUntil([&] { return launches == 1; });
    EXPECT_EQ(launches, 1);
    for (int fd : silent)
        ::close(fd);
}
