#include "platform/linux/BrowserExtensionHost.h"
#include "platform/linux/BrowserHosts.h"

#include "TempDir.h"

#include <fcntl.h>
#include <future>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;

TEST(BrowserHosts, FramingAndNames) {
    std::string stream = framed(R"({"a":1})") + framed("") + framed("x").substr(0, 3);
    EXPECT_EQ(takeFrame(stream), R"({"a":1})");
    EXPECT_EQ(takeFrame(stream), "");
    EXPECT_EQ(takeFrame(stream), std::nullopt); // the third is incomplete
    std::string huge = framed(std::string(100, 'x'));
    EXPECT_EQ(takeFrame(huge, 10), "");
    EXPECT_TRUE(huge.empty());

    EXPECT_EQ(browserSlug("Google Chrome"), "google-chrome");
    EXPECT_EQ(browserSlug("Brave Browser"), "brave-browser");
    EXPECT_TRUE(isBrowserHostInvocation({"knokle", kChromiumExtensionOrigin}));
    EXPECT_TRUE(isBrowserHostInvocation({"knokle", "/x/org.knokle.tabs.json", kFirefoxExtensionId}));
    EXPECT_FALSE(isBrowserHostInvocation({"knokle", "--exec-mode", "x"}));
    EXPECT_EQ(hostBrowserName({"knokle", "/x/org.knokle.tabs.json", kFirefoxExtensionId}), "Firefox");
}

TEST(BrowserHosts, FoldersAndSocketsOfOthersAreRefusedAndStaleOnesRemoved) {
    test::TempDir temp;
    std::string why;
    auto folder = browserHostFolder(why, temp.path());
    ASSERT_TRUE(folder) << why;
    EXPECT_EQ(fs::status(*folder).permissions() & fs::perms::all, fs::perms::owner_all);

    fs::permissions(*folder, fs::perms::group_exec, fs::perm_options::add);
    EXPECT_FALSE(browserHostFolder(why, temp.path()));
    EXPECT_NE(why.find("not a folder of this user's alone"), std::string::npos);
    fs::permissions(*folder, fs::perms::owner_all, fs::perm_options::replace);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(folder->c_str(), 4242, 4242), 0); // another user's folder
        EXPECT_FALSE(browserHostFolder(why, temp.path()));
        ASSERT_EQ(::chown(folder->c_str(), 0, 0), 0);
    }

    // A socket nobody listens on any more, and one readable by others.
    auto bound = [&](const std::string& name, mode_t mode) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strcpy(address.sun_path, (*folder / name).c_str());
        int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        EXPECT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::chmod(address.sun_path, mode);
        return fd;
    };
    ::close(bound("browser-chromium-1.socket", 0600));
    int open = bound("browser-firefox-2.socket", 0666);
    ::listen(open, 1);
    EXPECT_TRUE(liveBrowserHosts(*folder).empty());
    EXPECT_FALSE(fs::exists(*folder / "browser-chromium-1.socket"));
    EXPECT_TRUE(fs::exists(*folder / "browser-firefox-2.socket")); // not ours to judge or remove
    EXPECT_EQ(askHostToCloseTabs(*folder / "browser-firefox-2.socket", "x", 1s).error,
              (*folder / "browser-firefox-2.socket").string() + " is not a socket of this user's alone");
    ::close(open);
}

namespace {

// The host as Firefox starts it, with the test playing the extension on its standard input and output.
class FirefoxHost {
public:
    explicit FirefoxHost(const fs::path& runtime) {
        int in[2], out[2];
        EXPECT_EQ(::pipe2(in, O_CLOEXEC), 0); // the host must hold no end but its own
        EXPECT_EQ(::pipe2(out, O_CLOEXEC), 0);
        pid = ::fork();
        if (pid == 0) {
            ::dup2(in[0], STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
            ::execl(KNOKLE_EXECUTABLE, "knokle", "/home/u/.mozilla/native-messaging-hosts/org.knokle.tabs.json",
                    kFirefoxExtensionId, nullptr);
            ::_exit(127);
        }
        ::close(in[0]);
        ::close(out[1]);
        toHost = in[1];
        fromHost = out[0];
    }
    ~FirefoxHost() {
        if (toHost >= 0) ::close(toHost);
        ::close(fromHost);
        if (pid > 0) ::waitpid(pid, nullptr, 0);
    }
    std::optional<json> receive() {
        while (true) {
            if (auto message = takeFrame(buffer)) return json::parse(*message);
            pollfd pfd{fromHost, POLLIN, 0};
            if (::poll(&pfd, 1, 10000) <= 0) return std::nullopt;
            char chunk[4096];
            ssize_t n = ::read(fromHost, chunk, sizeof chunk);
            if (n <= 0) return std::nullopt;
            buffer.append(chunk, static_cast<size_t>(n));
        }
    }
    void send(const std::string& message) {
        std::string data = framed(message);
        EXPECT_EQ(::write(toHost, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    }
    int closePort() {
        ::close(toHost);
        toHost = -1;
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t pid = -1;
    int toHost = -1, fromHost = -1;
    std::string buffer;
};

} // namespace

// Messages as Firefox's extension sends them: tab IDs are small numbers, and privileged pages are listed too.
TEST(BrowserHosts, HostClosesTheMatchingTabsThatFirefoxLists) {
    test::TempDir runtime;
    FirefoxHost host(runtime.path());
    fs::path folder = runtime / "knokle";
    std::vector<LiveHost> live;
    for (int i = 0; i < 200 && live.empty(); ++i, std::this_thread::sleep_for(10ms))
        if (fs::exists(folder)) live = liveBrowserHosts(folder);
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].slug, "firefox");

    auto asked = std::async(std::launch::async, [&] { return askHostToCloseTabs(live[0].socket, "Mail\n", 10s); });
    auto list = host.receive();
    ASSERT_TRUE(list);
    EXPECT_EQ((*list)["list"], true);
    host.send(R"({"id":)" + std::to_string((*list)["id"].get<int>()) + R"(,"tabs":[
        {"id":1,"url":"about:newtab"},{"id":4,"url":"https://MAIL.example.org/inbox"},
        {"id":5,"url":"moz-extension://0b1c/page.html"},{"id":9,"url":"https://example.org/?q=mail"},
        {"id":12,"url":"https://news.example.org/"}]})");
    auto close = host.receive();
    ASSERT_TRUE(close);
    EXPECT_EQ((*close)["close"], json::parse("[4,9]"));
    host.send(R"({"id":)" + std::to_string((*close)["id"].get<int>()) + R"(,"closed":2})");
    auto result = asked.get();
    EXPECT_EQ(result.closedCount, 2);
    EXPECT_FALSE(result.error);

    // An empty text closes nothing and never reaches the browser; an error of the extension is passed on.
    EXPECT_EQ(askHostToCloseTabs(live[0].socket, "\n", 5s).closedCount, 0);
    asked = std::async(std::launch::async, [&] { return askHostToCloseTabs(live[0].socket, "x", 10s); });
    auto second = host.receive();
    ASSERT_TRUE(second);
    host.send(R"({"id":)" + std::to_string((*second)["id"].get<int>()) + R"(,"error":"Invalid tab ID: 4"})");
    EXPECT_EQ(asked.get().error, "Invalid tab ID: 4");

    // The browser closes the port: the host ends and takes its socket with it.
    EXPECT_EQ(host.closePort(), 0);
    EXPECT_FALSE(fs::exists(live[0].socket));
}
