#include "platform/linux/GioWorkspace.h"

#include "TrayDesktop.h"

#include <future>
#include <gtest/gtest.h>
#include <map>
#include <poll.h>
#include <sys/prctl.h>

using namespace knokle;
namespace fs = std::filesystem;
using test::waitFor;

namespace {

// GIO reads the XDG folders once per process, so everything that depends on them runs in a fresh copy of
// this program, started with the test's folders in its environment. The copy answers on standard output.
int gioHelper(const std::string& request) {
    GioWorkspace workspace;
    std::string verb = request.substr(0, request.find(' '));
    std::string argument = request.substr(request.find(' ') + 1);
    if (verb == "launch") {
        auto lookup = workspace.lookUpApplication(argument);
        if (!lookup.application) {
            std::printf("none\n");
            return 0;
        }
        const std::string* location = &lookup.application->location;
        std::printf("location=%s\nname=%s\nicon=%s\n", location->c_str(), workspace.displayName(*location).c_str(),
                    workspace.iconName(*location).c_str());
        std::promise<OpenApplicationResult> done;
        workspace.openApplication(*location, [&](OpenApplicationResult result) { done.set_value(result); });
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
    return 0;
}

const bool runAsHelper = [] {
    if (const char* request = std::getenv("KNOKLE_TEST_GIO_HELPER")) {
        int status = gioHelper(request);
        std::fflush(stdout);
        std::_Exit(status);
    }
    return false;
}();

struct HelperAnswer {
    std::map<std::string, std::string> values;
    bool finished = false; // standard output reached its end: no launched program kept it open
};

HelperAnswer askHelper(const std::map<std::string, std::string>& environment, const std::string& request) {
    int out[2];
    if (pipe(out) != 0) return {};
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], STDOUT_FILENO);
        close(out[0]);
        close(out[1]);
        for (const auto& [name, value] : environment)
            setenv(name.c_str(), value.c_str(), 1);
        setenv("KNOKLE_TEST_GIO_HELPER", request.c_str(), 1);
        execl("/proc/self/exe", "knokle_integration_tests", nullptr);
        _exit(127);
    }
    close(out[1]);
    HelperAnswer answer;
    std::string text;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{out[0], POLLIN, 0};
        if (poll(&pfd, 1, 100) <= 0) continue;
        char buffer[512];
        ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            answer.finished = n == 0;
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
    }
    close(out[0]);
    waitpid(pid, nullptr, 0);
    for (const auto& line : test::ProgramResult{0, text}.lines()) {
        size_t equals = line.find('=');
        answer.values[line.substr(0, equals)] = equals == std::string::npos ? "" : line.substr(equals + 1);
    }
    return answer;
}

void executable(const fs::path& path, const std::string& body) {
    ASSERT_TRUE(writeFileAtomically(path, "#!/bin/sh\n" + body));
    fs::permissions(path, fs::perms::owner_all);
}

// A user's desktop in temporary folders: one application, one handler for https links.
struct TestDesktop {
    test::TempDir temp;
    fs::path applications = temp / "data/applications";
    fs::path marker = temp / "launched";
    fs::path childPid = temp / "child-pid";
    fs::path urlMarker = temp / "opened-url";

    TestDesktop() {
        fs::create_directories(applications);
        fs::create_directories(temp / "config");
        fs::create_directories(temp / "empty");
        // The application leaves a marker, starts a helper process of its own and stays.
        executable(temp / "test-app.sh", "sleep 60 &\necho $! > '" + childPid.string() + "'\ntouch '" +
                                             marker.string() + "'\necho noise\nwait\n");
        executable(temp / "handler.sh", "printf '%s' \"$1\" > '" + urlMarker.string() + "'\n");
        entry("org.knokle.TestApp.desktop",
              "Name=Knokle Test App\nIcon=knokle-test-icon\nExec=" + (temp / "test-app.sh").string() + "\n");
        entry("testhandler.desktop",
              "Name=Test Handler\nExec=" + (temp / "handler.sh").string() + " %u\nMimeType=x-scheme-handler/https;\n");
        entry("hidden.desktop", "Name=Hidden\nExec=true\nHidden=true\n");
        entry("mailer.desktop", "Name=Mailer\nExec=true %u\nMimeType=x-scheme-handler/mailto;\n");
        entry("org.example.Notes.desktop", "Name=Notes\nExec=true %f\nMimeType=text/plain;\n");
        entry("aaa-term.desktop", "Name=A\nExec=true\nCategories=TerminalEmulator;\n");
        executable(temp / "term.sh", "exit 0\n");
        entry("the-terminal.desktop",
              "Name=T\nExec=" + (temp / "term.sh").string() + "\nCategories=TerminalEmulator;\n");
        fs::create_directories(temp / "bin");
        fs::create_symlink(temp / "term.sh", temp / "bin/x-terminal-emulator");
        EXPECT_TRUE(
            writeFileAtomically(temp / "config/mimeapps.list",
                                "[Default Applications]\nx-scheme-handler/https=testhandler.desktop\n"
                                "x-scheme-handler/mailto=mailer.desktop\ntext/plain=org.example.Notes.desktop\n"));
    }
    void entry(const std::string& name, const std::string& body) {
        ASSERT_TRUE(writeFileAtomically(applications / name, "[Desktop Entry]\nType=Application\n" + body));
    }
    std::map<std::string, std::string> environment() const {
        return {{"XDG_DATA_HOME", (temp / "data").string()},
                {"XDG_CONFIG_HOME", (temp / "config").string()},
                {"XDG_DATA_DIRS", (temp / "empty").string()},
                {"XDG_CONFIG_DIRS", (temp / "empty").string()},
                {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent"},
                {"PATH", (temp / "bin").string() + ":/usr/bin:/bin"}};
    }
};

// Programs we launched outlive the helper; as their subreaper we reap them once they are killed.
void reapEndedChildren() {
    while (waitpid(-1, nullptr, WNOHANG) > 0) {
    }
}

} // namespace

TEST(Workspace, LaunchesFindsAndKillsADesktopApplication) {
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    TestDesktop desktop;
    const std::string id = "org.knokle.TestApp";

    EXPECT_EQ(askHelper(desktop.environment(), "launch hidden").values.count("none"), 1u);
    EXPECT_EQ(askHelper(desktop.environment(), "launch org.knokle.Missing").values.count("none"), 1u);

    HelperAnswer answer = askHelper(desktop.environment(), "launch " + id);
    EXPECT_TRUE(answer.finished) << "the launched program kept the launcher's standard output open";
    EXPECT_EQ(answer.values["location"], (desktop.applications / (id + ".desktop")).string());
    EXPECT_EQ(answer.values["name"], "Knokle Test App");
    EXPECT_EQ(answer.values["icon"], "knokle-test-icon");
    EXPECT_EQ(answer.values["id"], id);
    EXPECT_EQ(answer.values.count("error"), 0u) << answer.values["error"];
    pid_t pid = std::atoi(answer.values["pid"].c_str());
    ASSERT_GT(pid, 0);
    ASSERT_TRUE(waitFor([&] { return fs::exists(desktop.marker); })) << "the application did not start";
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
}

TEST(Workspace, WellKnownIdentifiersResolveToThisDesktopsChoices) {
    TestDesktop desktop;
    const std::string ids = "com.apple.Safari com.apple.mail com.apple.Mail com.apple.Notes com.apple.Terminal "
                            "com.apple.MobileSMS org.knokle.TestApp com.example.Unknown";
    const std::map<std::string, std::string> expected = {
        {"com.apple.Safari", "testhandler (well-known)"},    {"com.apple.mail", "mailer (well-known)"},
        {"com.apple.Mail", "mailer (well-known)"},           {"com.apple.Notes", "org.example.Notes (well-known)"},
        {"com.apple.Terminal", "the-terminal (well-known)"}, {"com.apple.MobileSMS", "- (well-known)"},
        {"org.knokle.TestApp", "org.knokle.TestApp"},        {"com.example.Unknown", "-"},
    };
    auto answer = askHelper(desktop.environment(), "resolve " + ids);
    for (const auto& [id, meaning] : expected)
        EXPECT_EQ(answer.values[id], meaning) << id;

    // A desktop without defaults or terminals: nothing stands for them.
    std::map<std::string, std::string> empty;
    for (const auto& [name, value] : desktop.environment())
        if (name != "DBUS_SESSION_BUS_ADDRESS") empty[name] = (desktop.temp / "empty").string();
    auto bare = askHelper(empty, "resolve com.apple.Safari com.apple.Terminal");
    EXPECT_EQ(bare.values["com.apple.Safari"], "- (well-known)");
    EXPECT_EQ(bare.values["com.apple.Terminal"], "- (well-known)");
}

TEST(Workspace, OpensALinkWithTheDefaultHandler) {
    ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    TestDesktop desktop;
    const std::string url = "https://example.com/a?b=1&c=%20d#top";
    HelperAnswer answer = askHelper(desktop.environment(), "open-url " + url);
    EXPECT_TRUE(answer.finished);
    EXPECT_TRUE(waitFor([&] {
        reapEndedChildren();
        return test::text(desktop.urlMarker) == url;
    })) << "the handler did not run, or not with the link: " << test::text(desktop.urlMarker);
}
