#include "platform/linux/desktop/GioWorkspace.h"

#include "TrayDesktop.h"

#include <future>
#include <gtest/gtest.h>
#include <map>
#include <sys/prctl.h>

using namespace knokle;
namespace fs = std::filesystem;
using test::waitFor;

namespace {

// GIO reads the XDG folders once per process, so everything that depends on them runs in a fresh copy of
// this program, started with the test's folders in its environment. The copy answers on standard output.
void gioHelper(const std::string& request) {
    GioWorkspace workspace;
    std::string verb = request.substr(0, request.find(' '));
    std::string argument = request.substr(request.find(' ') + 1);
    if (verb == "launch") {
        const std::string location = workspace.lookUpApplication(argument).application.value().location;
        std::printf("location=%s\nname=%s\nicon=%s\n", location.c_str(), workspace.displayName(location).c_str(),
                    workspace.iconName(location).c_str());
        std::promise<OpenApplicationResult> done;
        workspace.openApplication(location, [&](OpenApplicationResult result) { done.set_value(result); });
        auto result = done.get_future().get();
        if (result.application)
            std::printf("id=%s\npid=%d\n", result.application->bundleIdentifier.value_or("?").c_str(),
                        result.application->processIdentifier);
        if (result.errorDescription) std::printf("error=%s\n", result.errorDescription->c_str());
    } else if (verb == "resolve") {
        std::istringstream ids(argument);
        for (std::string id; ids >> id;) {
            auto lookup = workspace.lookUpApplication(id);
            std::printf("%s=%s%s\n", id.c_str(), lookup.application ? lookup.application->desktopEntry.c_str() : "-",
                        lookup.wellKnown ? " (well-known)" : "");
        }
    } else if (verb == "open-url") {
        workspace.openURL(argument); // the workspace finishes it before it goes away
    }
}

const bool runAsHelper = [] {
    if (const char* request = std::getenv("KNOKLE_TEST_GIO_HELPER")) {
        gioHelper(request);
        std::fflush(stdout);
        std::_Exit(0);
    }
    return false;
}();

// A user's desktop in temporary folders: one application, one handler for https links.
struct TestDesktop {
    test::TempDir temp;
    fs::path applications = temp / "data/applications";
    fs::path marker = temp / "launched";
    fs::path childPid = temp / "child-pid";
    fs::path urlMarker = temp / "opened-url";

    TestDesktop() {
        fs::create_directories(temp / "empty");
        // Each says something; the application leaves a marker, starts a helper process of its own and stays.
        test::put(temp / "test-app.sh",
                  "#!/bin/sh\necho noise\nsleep 60 &\necho $! > '" + childPid.string() + "'\ntouch '" +
                      marker.string() + "'\nwait\n",
                  true);
        test::put(temp / "handler.sh", "#!/bin/sh\necho noise\nprintf '%s' \"$1\" > '" + urlMarker.string() + "'\n",
                  true);
        entry("org.knokle.TestApp.desktop",
              "Name=Knokle Test App\nIcon=knokle-test-icon\nExec=" + (temp / "test-app.sh").string() + "\n");
        entry("testhandler.desktop",
              "Name=Test Handler\nExec=" + (temp / "handler.sh").string() + " %u\nMimeType=x-scheme-handler/https;\n");
        entry("hidden.desktop", "Name=Hidden\nExec=true\nHidden=true\n");
        entry("mailer.desktop", "Name=Mailer\nExec=true %u\nMimeType=x-scheme-handler/mailto;\n");
        entry("org.example.Notes.desktop", "Name=Notes\nExec=true %f\nMimeType=text/plain;\n");
        entry("aaa-term.desktop", "Name=A\nExec=true\nCategories=TerminalEmulator;\n");
        test::put(temp / "term.sh", "#!/bin/sh\nexit 0\n", true);
        entry("the-terminal.desktop",
              "Name=T\nExec=" + (temp / "term.sh").string() + "\nCategories=TerminalEmulator;\n");
        fs::create_directories(temp / "bin");
        fs::create_symlink(temp / "term.sh", temp / "bin/x-terminal-emulator");
        test::put(temp / "config/mimeapps.list",
                  "[Default Applications]\nx-scheme-handler/https=testhandler.desktop\n"
                  "x-scheme-handler/mailto=mailer.desktop\ntext/plain=org.example.Notes.desktop\n");
    }
    void entry(const std::string& name, const std::string& body) {
        test::put(applications / name, "[Desktop Entry]\nType=Application\n" + body);
    }
    // The helper's answer lines, "name=value". Its output stays in `answer` for what launched programs add to it.
    std::map<std::string, std::string> ask(const std::string& request) const {
        fs::remove(temp / "answer");
        test::Child helper(
            {"/proc/self/exe"},
            test::inherited(
                {"XDG_DATA_HOME=" + (temp / "data").string(), "XDG_CONFIG_HOME=" + (temp / "config").string(),
                 "XDG_DATA_DIRS=" + (temp / "empty").string(), "XDG_CONFIG_DIRS=" + (temp / "empty").string(),
                 "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent",
                 "PATH=" + (temp / "bin").string() + ":/usr/bin:/bin", "KNOKLE_TEST_GIO_HELPER=" + request}),
            temp / "answer");
        helper.wait(20000);
        std::map<std::string, std::string> values;
        for (const auto& line : helper.lines())
            values[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
        return values;
    }
};

// Programs we launched outlive the helper; as their subreaper we reap them once they are killed.
void reapEndedChildren() {
    while (waitpid(-1, nullptr, WNOHANG) > 0)
        continue;
}

} // namespace

TEST(Workspace, LaunchesFindsAndKillsADesktopApplicationOpensLinksAndResolvesWellKnownIds) {
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    TestDesktop desktop;
    const std::string id = "org.knokle.TestApp";
    auto answer = desktop.ask("launch " + id);
    EXPECT_EQ(answer["location"], (desktop.applications / (id + ".desktop")).string());
    EXPECT_EQ(answer["name"], "Knokle Test App");
    EXPECT_EQ(answer["icon"], "knokle-test-icon");
    EXPECT_EQ(answer["id"], id);
    pid_t pid = std::atoi(answer["pid"].c_str());
    ASSERT_GT(pid, 0) << answer["error"];
    ASSERT_TRUE(waitFor([&] { return fs::exists(desktop.marker); })) << "the application did not start";
    EXPECT_EQ(test::text(desktop.temp / "answer").find("noise"), std::string::npos) << "it has the launcher's output";
    pid_t child = std::atoi(readWholeFile(desktop.childPid).value_or("0").c_str());
    ASSERT_GT(child, 0);

    // The application is listed under its ID; the helper process it started is part of it, not listed.
    GioWorkspace workspace("/proc", {desktop.applications});
    auto live = [&] {
        std::vector<RunningApplication> found;
        for (const auto& app : workspace.runningApplications())
            if (app.bundleIdentifier == id && !app.isTerminated) found.push_back(app);
        return found;
    };
    std::vector<RunningApplication> running = live();
    ASSERT_EQ(running.size(), 1u);
    EXPECT_EQ(running[0].processIdentifier, pid);

    workspace.forceTerminate(running[0]);
    EXPECT_TRUE(waitFor([&] { return live().empty(); }));
    kill(child, SIGKILL);
    for (pid_t killed : {pid, child})
        EXPECT_TRUE(waitFor([&] {
            reapEndedChildren();
            return !fs::exists("/proc/" + std::to_string(killed));
        })) << "pid "
            << killed << " survived";

    // A link goes to the default handler for its scheme.
    const std::string url = "https://example.com/a?b=1&c=%20d#top";
    desktop.ask("open-url " + url);
    EXPECT_TRUE(waitFor([&] {
        reapEndedChildren();
        return test::text(desktop.urlMarker) == url;
    })) << test::text(desktop.urlMarker);
    EXPECT_EQ(test::text(desktop.temp / "answer").find("noise"), std::string::npos) << "it has the launcher's output";

    // Well-known identifiers resolve to this desktop's choices.
    const std::map<std::string, std::string> expected = {{"com.apple.Safari", "testhandler (well-known)"},
                                                         {"com.apple.mail", "mailer (well-known)"},
                                                         {"com.apple.Notes", "org.example.Notes (well-known)"},
                                                         {"com.apple.Terminal", "the-terminal (well-known)"},
                                                         {"com.apple.MobileSMS", "- (well-known)"},
                                                         {"org.knokle.TestApp", "org.knokle.TestApp"},
                                                         {"com.example.Unknown", "-"},
                                                         {"hidden", "-"}};
    std::string ids;
    for (const auto& [id, meaning] : expected)
        ids += " " + id;
    answer = desktop.ask("resolve" + ids);
    for (const auto& [id, meaning] : expected)
        EXPECT_EQ(answer[id], meaning) << id;
}

// Debian's /usr/bin/chromium is a script that execs /usr/lib/chromium/chromium: started from a shell, with no
// launch variables, the browser is still the chromium entry's (and only its main process is listed).
TEST(Workspace, FindsChromiumStartedFromAShellThroughItsLaunchScript) {
    if (::access("/usr/bin/chromium", X_OK) != 0 || ::access("/usr/share/applications/chromium.desktop", R_OK) != 0)
        GTEST_SKIP() << "Chromium is not installed";
    test::TempDir temp;
    test::Child shell({"/bin/sh", "-c",
                       "chromium --headless=new --no-sandbox --disable-gpu --disable-background-networking "
                       "--disable-component-update --disable-sync --no-first-run --user-data-dir=" +
                           (temp / "profile").string() + " about:blank; true"},
                      test::inherited({"HOME=" + temp.path().string()}), temp / "chromium.out");
    GioWorkspace workspace;
    auto ours = [&] {
        std::vector<RunningApplication> found;
        for (const auto& app : workspace.runningApplications())
            if (app.processIdentifier > 0 && ::getpgid(app.processIdentifier) == shell.id()) found.push_back(app);
        return found;
    };
    ASSERT_TRUE(waitFor([&] { return !ours().empty(); }, 30000)) << "Chromium was not found running";
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // its helpers are up by now
    auto listed = ours();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].bundleIdentifier, "chromium");
    std::error_code ec;
    EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(listed[0].processIdentifier) + "/exe", ec),
              "/usr/lib/chromium/chromium");
}
