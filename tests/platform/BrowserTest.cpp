#include "TempDir.h"
#include "TinyHttpServer.h"
#include "UnixSockets.h"
#include "common/AtomicFile.h"
#include "platform/linux/browsers/BrowserExtensionHost.h"
#include "platform/linux/browsers/BrowserHosts.h"
#include "platform/linux/browsers/BrowserSupportInstaller.h"
#include "platform/linux/browsers/DesktopBrowserScripting.h"
#include "platform/linux/browsers/DevToolsBrowserScripting.h"
#include "platform/linux/browsers/DevToolsTargets.h"

#include <csignal>
#include <future>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;
using nlohmann::json;
using namespace std::chrono_literals;

TEST(DevToolsTargets, BrowsersThatCannotBeReachedSayWhy) {
    DevToolsBrowserScripting scripting([](const std::string&) { return 1; }, "/nonexistent");
    for (auto [name, error] : {std::pair{"Firefox", "Firefox cannot be reached this way"},
                               {"Netscape", "there is no way to reach the tabs of Netscape here"}}) {
        auto result = scripting.closeTabs(name, "x");
        EXPECT_EQ(result.error, error);
        EXPECT_FALSE(result.closedCount);
    }
    for (const char* name : {"Google Chrome", "Microsoft Edge", "Brave Browser", "Vivaldi", "Chromium"})
        EXPECT_EQ(browserReach(name), BrowserReach::devTools) << name;
}

TEST(DevToolsTargets, ActivePortFile) {
    const std::pair<std::string, std::optional<int>> cases[] = {
        {"9222\n/devtools/browser/abc\n", 9222},
        {"41003\r\n", 41003},
        {"0\n", std::nullopt},
        {"70000\n", std::nullopt},
        {"\n9222\n", std::nullopt},
        {"port\n", std::nullopt},
    };
    for (const auto& [text, port] : cases)
        EXPECT_EQ(parseDevToolsActivePort(text), port) << text;
}

TEST(DevToolsTargets, ContainmentIgnoresCase) {
    const std::tuple<std::string, std::string, bool> cases[] = {
        {"https://MAIL.example.com/inbox", "mail.EXAMPLE", true},
        {"https://example.com/Straße", "STRASSE", true}, // full case folding
        {"https://example.com/", "mail", false},
        {"https://example.com/ a", " a", true},
        {"https://example.com/a", " a", false},    // spaces at the ends stay part of the text
        {"https://bad.example/\xff", "BAD", true}, // invalid UTF-8 still compares its ASCII letters
    };
    for (const auto& [address, text, contains] : cases)
        EXPECT_EQ(containsIgnoringCase(address, text), contains) << address;
}

namespace {

// A DevTools endpoint with a fixed tab list that remembers which tabs it was asked to close.
struct FakeEndpoint {
    int closeStatus = 200;
    std::chrono::milliseconds closeDelay{0};
    std::string list = R"([
        {"id": "t1", "type": "page", "url": "https://Mail.example.com/inbox"},
        {"id": "t2", "type": "page", "url": "https://mail.example.com/sent"},
        {"id": "t3", "type": "page", "url": "https://news.example.com/"},
        {"id": "t4", "type": "browser_ui", "url": "https://mail.example.com/ui"},
        {"id": "t5", "type": "page", "url": "https://example.com/?q=MAIL"},
        {"id": "t6", "type": "page"}, {"id": 7, "type": "page", "url": "https://mail.example.com/7"}, "junk"
    ])";
    test::TinyHttpServer server{[this](const std::string&, const std::string& target) -> test::TinyHttpServer::Reply {
        if (target == "/json/list") return {200, list};
        if (!target.starts_with("/json/close/")) return {404, ""};
        std::this_thread::sleep_for(closeDelay);
        return {closeStatus, "Target is closing"};
    }};
    int port = server.port();
};

void writePortFile(const fs::path& folder, int port) {
    fs::create_directories(folder);
    ASSERT_TRUE(writeFileAtomically(folder / "DevToolsActivePort", std::to_string(port) + "\n/devtools/browser/x\n"));
}

} // namespace

TEST(DevToolsBrowserScripting, ClosesMatchingPagesAndReportsEndpointFailuresInPlainWords) {
    FakeEndpoint endpoint;
    ASSERT_GT(endpoint.port, 0);
    auto port = [&](const std::string&) -> std::optional<int> { return endpoint.port; };
    DevToolsBrowserScripting scripting(port);
    EXPECT_EQ(scripting.closeTabs("Chromium", "\n\u2028").closedCount, 0);
    EXPECT_TRUE(endpoint.server.requests().empty()) << "an empty text closes nothing";

    auto result = scripting.closeTabs("Vivaldi", "mail\n");
    EXPECT_FALSE(result.error) << *result.error;
    EXPECT_EQ(result.closedCount, 3);
    EXPECT_EQ(endpoint.server.requests(), (std::vector<std::string>{"GET /json/list", "GET /json/close/t1",
                                                                    "GET /json/close/t2", "GET /json/close/t5"}));

    endpoint.closeStatus = 404; // closed meanwhile by someone else: not counted, not an error
    EXPECT_EQ(scripting.closeTabs("Chromium", "news").closedCount, 0);
    endpoint.closeStatus = 500;
    EXPECT_EQ(scripting.closeTabs("Chromium", "news").error,
              "its DevTools endpoint refused to close a tab (HTTP status 500)");

    // A slow browser gets one deadline for the whole call, not one per tab.
    endpoint.closeStatus = 200;
    endpoint.closeDelay = std::chrono::milliseconds(300);
    std::string onPort = "its DevTools endpoint on port " + std::to_string(endpoint.port) + " ";
    DevToolsBrowserScripting hurried(port, std::nullopt, std::chrono::seconds(3), std::chrono::milliseconds(500));
    EXPECT_EQ(hurried.closeTabs("Chromium", "mail").error,
              onPort + "took longer than 0.5 s; 1 tab(s) closed, 2 not reached");
    endpoint.closeDelay = {};

    for (const auto& [list, error] : std::vector<std::pair<std::string, std::string>>{
             {"<html>not json</html>", "sent an unreadable tab list"},
             {std::string(70, '[') + std::string(70, ']'), "sent an unreadable tab list"},
             {"[" + std::string(kMaxDevToolsAnswerBytes, ' ') + "]", "sent a tab list larger than 4 MB"},
         }) {
        endpoint.list = list;
        EXPECT_EQ(scripting.closeTabs("Chromium", "news").error, onPort + error);
    }
}

TEST(DevToolsBrowserScripting, PortComesFromTheProfileFolderUnlessConfigured) {
    FakeEndpoint endpoint;
    test::TempDir config;
    writePortFile(config / "BraveSoftware/Brave-Browser", endpoint.port);
    DevToolsBrowserScripting fromFile({}, config.path());
    EXPECT_EQ(fromFile.closeTabs("Brave Browser", "news").closedCount, 1);

    // Another browser's folder has no file: remote debugging is off for it.
    EXPECT_EQ(fromFile.closeTabs("Google Chrome", "news").error,
              "remote debugging is not enabled (start it with --remote-debugging-port=0, or set its port in the "
              "settings)");

    // A port file left behind by a browser that has ended: nothing listens there.
    writePortFile(config / "chromium", 1);
    EXPECT_EQ(fromFile.closeTabs("Chromium", "news").error, std::string(kDevToolsNotEnabled));

    // A configured port wins over the file; a port of 0 means none is configured.
    DevToolsBrowserScripting configured([](const std::string&) { return 1; }, config.path());
    EXPECT_EQ(configured.closeTabs("Brave Browser", "news").error,
              "its DevTools endpoint did not answer on port 1");
    DevToolsBrowserScripting zero([](const std::string&) { return 0; }, config.path());
    EXPECT_EQ(zero.closeTabs("Brave Browser", "news").closedCount, 1);
}

TEST(DesktopBrowserScripting, AsksRunningBrowsersAndThoseWhoseDevToolsPortAnswersInCatalogOrder) {
    FakeEndpoint endpoint;
    test::TempDir dir;
    writePortFile(dir / "config/chromium", endpoint.port); // started from a terminal: no process the workspace names
    writePortFile(dir / "config/vivaldi", 1); // left behind by a browser that has ended: refused, so not asked
    fs::create_directories(dir / "runtime");
    DesktopBrowserScripting scripting(
        [&](const std::string& name) { return name == "Google Chrome" ? std::optional(endpoint.port) : std::nullopt; },
        dir / "runtime", dir / "config");
    EXPECT_EQ(scripting.browsersToAsk({"firefox-esr", "gedit"}),
              (std::vector<std::string>{"Google Chrome", "Chromium", "Firefox"}));
    EXPECT_EQ(scripting.closeTabs("Chromium", "news").closedCount, 1);
}

TEST(BrowserHosts, FramingAndNames) {
    std::string stream = framed(R"({"a":1})") + framed("") + framed("x").substr(0, 3);
    EXPECT_EQ(takeFrame(stream), R"({"a":1})");
    EXPECT_EQ(takeFrame(stream), "");
    EXPECT_EQ(takeFrame(stream), std::nullopt); // the third is incomplete
    std::string huge = framed(std::string(100, 'x'));
    EXPECT_EQ(takeFrame(huge, 10), "");
    EXPECT_TRUE(huge.empty());

    EXPECT_EQ(browserSlug("Google Chrome"), "google-chrome");
    EXPECT_TRUE(isBrowserHostInvocation({"knokle", kChromiumExtensionOrigin}));
    EXPECT_TRUE(isBrowserHostInvocation({"knokle", "/x/org.knokle.tabs.json", kFirefoxExtensionId}));
    EXPECT_FALSE(isBrowserHostInvocation({"knokle", "--exec-mode", "x"}));
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

    // A socket nobody listens on any more, and one others may connect to.
    ASSERT_EQ(::close(test::unixSocket(*folder / "browser-chromium-1.socket", ::bind)), 0);
    ::chmod((*folder / "browser-chromium-1.socket").c_str(), 0600);
    int open = test::unixSocket(*folder / "browser-firefox-2.socket", ::bind);
    ::chmod((*folder / "browser-firefox-2.socket").c_str(), 0666);
    ::listen(open, 1);
    EXPECT_TRUE(liveBrowserHosts(*folder).empty());
    EXPECT_FALSE(fs::exists(*folder / "browser-chromium-1.socket"));
    EXPECT_TRUE(fs::exists(*folder / "browser-firefox-2.socket")); // not ours to judge or remove
    EXPECT_EQ(askHostToCloseTabs(*folder / "browser-firefox-2.socket", "x", 1s).error,
              (*folder / "browser-firefox-2.socket").string() + " is not a socket of this user's alone");
    ::close(open);
}

namespace {

// The host as Firefox starts it (the manifest's path, then the extension's ID), with the test as the extension at
// the other end of its standard input and output; `maxFiles` limits its descriptors.
struct StartedHost {
    pid_t pid = -1;
    int extension = -1;
    fs::path socket;
    std::string slug;
};

StartedHost startHost(const fs::path& runtime, rlim_t maxFiles = 0) {
    StartedHost started;
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return started; // the host holds one end
    started.pid = ::fork();
    if (started.pid == 0) {
        ::dup2(ends[1], STDIN_FILENO);
        ::dup2(ends[1], STDOUT_FILENO);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        if (maxFiles) {
            rlimit limit{maxFiles, maxFiles};
            ::setrlimit(RLIMIT_NOFILE, &limit);
        }
        ::execl(KNOKLE_EXECUTABLE, "knokle", "/home/u/.mozilla/native-messaging-hosts/org.knokle.tabs.json",
                kFirefoxExtensionId, nullptr);
        ::_exit(127);
    }
    ::close(ends[1]);
    started.extension = ends[0];
    for (int i = 0; i < 200 && started.socket.empty(); ++i, std::this_thread::sleep_for(10ms))
        if (fs::exists(runtime / "knokle"))
            if (auto live = liveBrowserHosts(runtime / "knokle"); !live.empty())
                started.socket = live[0].socket, started.slug = live[0].slug;
    return started;
}

// Closes the extension's end: the host must end within a few seconds, with status 0, taking its socket with it.
bool endsWithItsPort(StartedHost& host) {
    ::shutdown(host.extension, SHUT_WR);
    int status = -1;
    for (int i = 0; i < 300; ++i, std::this_thread::sleep_for(10ms))
        if (::waitpid(host.pid, &status, WNOHANG) == host.pid)
            return WIFEXITED(status) && WEXITSTATUS(status) == 0 && !fs::exists(host.socket);
    ::kill(host.pid, SIGKILL);
    ::waitpid(host.pid, nullptr, 0);
    return false;
}

// Nanoseconds of CPU the process has used.
long long cpuTime(pid_t pid) {
    return std::stoll(readWholeFile("/proc/" + std::to_string(pid) + "/schedstat").value_or("0"));
}

// A home with a Flatpak Brave and a Snap Chromium installed.
BrowserSupportPlaces placesIn(const test::TempDir& temp, const std::string& hostProgram) {
    fs::create_directories(temp / "flatpak/com.brave.Browser");
    fs::create_directories(temp / "snap/chromium");
    return {.home = temp / "home",
            .config = temp / "home/.config",
            .hostProgram = hostProgram,
            .record = temp / "data/browser-support-installed",
            .extension = "/opt/knokle/share/knokle/browser-extension",
            .searchPath = {(temp / "bin").string()},
            .flatpakApps = {temp / "flatpak"},
            .snaps = temp / "snap"};
}

} // namespace

// The extension's error reaches the client; then hostile peers on both sides: messages with ids of every type,
// an extension that answers every command with a tab list, a client that never reads its answers. The host
// serves the others and ends with its port.
TEST(BrowserHosts, HostPassesOnTheExtensionsErrorOutlastsHostilePeersAndEndsWithItsPort) {
    test::TempDir runtime;
    StartedHost host = startHost(runtime.path());
    ASSERT_FALSE(host.socket.empty());
    EXPECT_EQ(host.slug, "firefox");
    // An empty text closes nothing and never reaches the browser (which would not answer it).
    auto nothing = askHostToCloseTabs(host.socket, "\n", 5s);
    EXPECT_EQ(nothing.closedCount, 0);
    EXPECT_FALSE(nothing.error) << *nothing.error;

    // The extension's side: answers each request with `reply` until the client's call returns; how many it saw.
    std::string received;
    auto serve = [&](std::future<TabClosingResult>& asked, const std::string& reply) {
        int messages = 0;
        while (asked.wait_for(0s) != std::future_status::ready) {
            pollfd ready{host.extension, POLLIN, 0};
            char chunk[4096];
            if (::poll(&ready, 1, 50) <= 0) continue;
            ssize_t n = ::read(host.extension, chunk, sizeof chunk);
            if (n <= 0) break;
            received.append(chunk, static_cast<size_t>(n));
            for (std::optional<std::string> request; (request = takeFrame(received)); ++messages) {
                std::string answer = framed(R"({"id":)" + json::parse(*request)["id"].dump() + "," + reply + "}");
                EXPECT_EQ(::write(host.extension, answer.data(), answer.size()), static_cast<ssize_t>(answer.size()));
            }
        }
        return messages;
    };
    auto asked = std::async(std::launch::async, [&] { return askHostToCloseTabs(host.socket, "x", 10s); });
    EXPECT_EQ(serve(asked, R"("error":"Invalid tab ID: 4")"), 1);
    EXPECT_EQ(asked.get().error, "Invalid tab ID: 4");

    for (const char* id : {R"("1")", "null", "{}", "[1]", "1.5"}) {
        std::string message = framed(std::string(R"({"id":)") + id + R"(,"tabs":[]})");
        ASSERT_EQ(::write(host.extension, message.data(), message.size()), static_cast<ssize_t>(message.size()));
    }
    std::string why;
    int stalled = connectToHost(host.socket, why);
    ASSERT_GE(stalled, 0) << why;
    timeval patience{2, 0};
    ::setsockopt(stalled, SOL_SOCKET, SO_SNDTIMEO, &patience, sizeof patience);
    std::string requests;
    for (int i = 0; i < 50000; ++i)
        requests += framed(R"({"closeTabs":""})");
    for (size_t sent = 0; sent < requests.size();) {
        ssize_t n = ::send(stalled, requests.data() + sent, requests.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += static_cast<size_t>(n);
    }
    asked = std::async(std::launch::async, [&] { return askHostToCloseTabs(host.socket, "x", 3s); });
    EXPECT_EQ(serve(asked, R"("tabs":[{"id":7,"url":"x"}])"), 2) << "one list, one close";
    EXPECT_EQ(asked.get().error, "the extension sent an unreadable answer");
    EXPECT_TRUE(endsWithItsPort(host)) << "the browser closed the port";
    ::close(stalled);
    ::close(host.extension);
}

TEST(BrowserHosts, HostOutOfDescriptorsWaitsInsteadOfSpinning) {
    test::TempDir runtime;
    StartedHost host = startHost(runtime.path(), 12);
    ASSERT_FALSE(host.socket.empty());
    std::vector<int> clients;
    std::string why;
    for (int i = 0; i < 20; ++i)
        clients.push_back(connectToHost(host.socket, why));
    long long before = cpuTime(host.pid);
    std::this_thread::sleep_for(1s);
    EXPECT_LT(cpuTime(host.pid) - before, 200'000'000) << "ns of CPU in a second with a connection it cannot accept";
    EXPECT_TRUE(endsWithItsPort(host));
    for (int fd : clients)
        ::close(fd);
    ::close(host.extension);
}

// Manifests go where the installed browsers look for them (their own folders, Flatpak's and Snap's), and the
// uninstall removes exactly what was written.
TEST(BrowserSupportInstaller, WritesManifestsForInstalledBrowsersAndUndoesExactlyThat) {
    test::TempDir temp;
    const auto places = placesIn(temp, "/opt/knokle/bin/knokle");
    fs::create_directories(temp / "bin");
    ASSERT_TRUE(writeFileAtomically(temp / "bin/firefox-esr", "#!/bin/sh\n"));
    fs::permissions(temp / "bin/firefox-esr", fs::perms::owner_all);
    fs::create_directories(places.config / "google-chrome/NativeMessagingHosts"); // used before: its folder is there
    ASSERT_TRUE(writeFileAtomically(places.config / "google-chrome/NativeMessagingHosts/other.json", "{}"));

    std::ostringstream out;
    ASSERT_EQ(installBrowserSupport(places, out), 0) << out.str();
    const fs::path chrome = places.config / "google-chrome/NativeMessagingHosts/org.knokle.tabs.json";
    const fs::path firefox = places.home / ".mozilla/native-messaging-hosts/org.knokle.tabs.json";
    const fs::path braveFolder = places.home / ".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser";
    const fs::path brave = braveFolder / "NativeMessagingHosts/org.knokle.tabs.json";
    const fs::path snap = places.home / "snap/chromium/common/chromium/NativeMessagingHosts/org.knokle.tabs.json";
    auto json = [](const fs::path& file) { return nlohmann::json::parse(readWholeFile(file).value_or("null")); };
    EXPECT_EQ(json(chrome)["path"], "/opt/knokle/bin/knokle");
    EXPECT_EQ(json(chrome)["allowed_origins"][0], "chrome-extension://mkfakmbjhineegibglgpbaibbegjjigh/");
    EXPECT_EQ(json(firefox)["allowed_extensions"][0], "tabs@knokle.org");
    EXPECT_EQ(json(snap)["path"], "/opt/knokle/bin/knokle");
    // A Flatpak browser starts the host outside its sandbox.
    EXPECT_EQ(json(brave)["path"], (braveFolder / "NativeMessagingHosts/knokle-host").string());
    EXPECT_NE(readWholeFile(braveFolder / "NativeMessagingHosts/knokle-host")->find("flatpak-spawn --host"),
              std::string::npos);
    for (const char* absent : {"chromium", "vivaldi", "microsoft-edge", "BraveSoftware"})
        EXPECT_FALSE(fs::exists(places.config / absent)) << absent << " is not installed";
    EXPECT_NE(out.str().find("Load unpacked\" and pick /opt/knokle/share/knokle/browser-extension"), std::string::npos);
    EXPECT_EQ(installBrowserSupport(places, out), 0); // again: nothing new to record

    ASSERT_EQ(uninstallBrowserSupport(places, out), 0) << out.str();
    for (const auto& gone : {chrome, snap, places.home / ".mozilla", places.home / ".var", places.record})
        EXPECT_FALSE(fs::exists(gone)) << gone;
    EXPECT_TRUE(fs::exists(places.config / "google-chrome/NativeMessagingHosts/other.json")); // not ours
    EXPECT_EQ(uninstallBrowserSupport(places, out), 0);
}

// A sandboxed browser can write its own folders: links planted there never lead a write, or the uninstall,
// anywhere else, and the uninstall removes only what still holds what the install wrote.
TEST(BrowserSupportInstaller, LinksPlantedInSandboxFoldersAreNeverFollowed) {
    test::TempDir temp;
    const auto places = placesIn(temp, "/opt/it's/knokle");
    fs::create_directories(places.config / "autostart");
    fs::create_directories(places.config / "chromium");
    ASSERT_TRUE(writeFileAtomically(places.home / ".profile", "original profile"));
    ASSERT_TRUE(writeFileAtomically(places.home / "letter.txt", "a letter"));
    const fs::path braveHosts =
        places.home / ".var/app/com.brave.Browser/config/BraveSoftware/Brave-Browser/NativeMessagingHosts";
    fs::create_directories(braveHosts);
    fs::create_symlink(places.home / ".profile", braveHosts / "knokle-host");
    fs::create_symlink(places.home / "letter.txt", braveHosts / "org.knokle.tabs.json");
    const fs::path snapHosts = places.home / "snap/chromium/common/chromium/NativeMessagingHosts";
    fs::create_directories(snapHosts.parent_path());
    fs::create_symlink(places.config / "autostart", snapHosts);

    std::ostringstream out;
    EXPECT_EQ(installBrowserSupport(places, out), 0) << out.str();
    EXPECT_EQ(readWholeFile(places.home / ".profile"), "original profile");
    EXPECT_EQ(readWholeFile(places.home / "letter.txt"), "a letter");
    EXPECT_TRUE(fs::is_empty(places.config / "autostart"));
    EXPECT_NE(out.str().find("could not write " + (snapHosts / "org.knokle.tabs.json").string()), std::string::npos);
    EXPECT_FALSE(fs::is_symlink(braveHosts / "knokle-host"));
    EXPECT_NE(readWholeFile(braveHosts / "knokle-host")->find("--host '/opt/it'\\''s/knokle' \"$@\""),
              std::string::npos);
    EXPECT_NE(out.str().find("lets anything running inside that browser's sandbox run any command outside it"),
              std::string::npos);
    // Recorded before it was tried, so that an install cut short anywhere is undone.
    EXPECT_NE(readWholeFile(places.record)->find((snapHosts / "org.knokle.tabs.json").string()), std::string::npos);

    // The user rewrites a manifest, and the record names files that are not the install's.
    const fs::path chromium = places.config / "chromium/NativeMessagingHosts/org.knokle.tabs.json";
    ASSERT_TRUE(writeFileAtomically(chromium, "{\"mine\": true}"));
    std::string forged = *readWholeFile(places.record) + "file 0123456789abcdef " +
                         (places.home / ".profile").string() + "\nfile " + (places.home / "letter.txt").string() + "\n";
    ASSERT_TRUE(writeFileAtomically(places.record, forged));
    out.str("");
    EXPECT_EQ(uninstallBrowserSupport(places, out), 0) << out.str();
    EXPECT_EQ(readWholeFile(chromium), "{\"mine\": true}");
    EXPECT_EQ(readWholeFile(places.home / ".profile"), "original profile");
    EXPECT_EQ(readWholeFile(places.home / "letter.txt"), "a letter");
    EXPECT_FALSE(fs::exists(braveHosts / "knokle-host"));
    EXPECT_TRUE(fs::is_symlink(snapHosts));
    EXPECT_NE(out.str().find("left " + chromium.string() + ": changed since the install wrote it"), std::string::npos);
}
