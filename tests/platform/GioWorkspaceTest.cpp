#include "platform/linux/GioWorkspace.h"

#include "TempDir.h"
#include "common/AtomicFile.h"

#include <csignal>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <sys/wait.h>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

// A /proc look-alike: one folder per process with the files the scan reads.
struct FakeProcess {
    pid_t pid;
    pid_t parent = 1;
    char state = 'S';
    std::string environ;
    std::string cgroup = "0::/\n";
    std::string exe;
    std::string cmdline;
};

void writeProcess(const fs::path& root, const FakeProcess& p) {
    fs::path dir = root / std::to_string(p.pid);
    fs::create_directories(dir);
    ASSERT_TRUE(writeFileAtomically(dir / "stat", std::to_string(p.pid) + " (name with) spaces) " + p.state + " " +
                                                      std::to_string(p.parent) + " 0 0 0"));
    ASSERT_TRUE(writeFileAtomically(dir / "environ", p.environ));
    ASSERT_TRUE(writeFileAtomically(dir / "cgroup", p.cgroup));
    ASSERT_TRUE(writeFileAtomically(dir / "cmdline", p.cmdline));
    if (!p.exe.empty()) fs::create_symlink(p.exe, dir / "exe");
}

std::string launchedBy(const fs::path& file, pid_t pid) {
    return "HOME=/root\0GIO_LAUNCHED_DESKTOP_FILE="s + file.string() + "\0GIO_LAUNCHED_DESKTOP_FILE_PID="s +
           std::to_string(pid) + "\0"s;
}

void writeEntry(const fs::path& path, const std::string& body) {
    ASSERT_TRUE(writeFileAtomically(path, "[Desktop Entry]\nType=Application\nName=Some App\n" + body));
}

} // namespace

TEST(GioWorkspace, RunningApplicationsFromProcFiles) {
    test::TempDir temp;
    fs::path apps = temp / "applications";
    fs::path proc = temp / "proc";
    fs::create_directories(apps);
    fs::create_directories(proc / "self");
    writeEntry(apps / "launched.desktop", "Exec=launched-program\n");
    writeEntry(apps / "org.example.Scoped.desktop", "Exec=scoped\n");
    writeEntry(apps / "google-chrome.desktop", "Exec=/usr/bin/google-chrome-stable %U\n");
    writeEntry(apps / "progx.desktop", "Exec=progx %U\n");
    writeEntry(apps / "progy.desktop", "Exec=/usr/bin/progy\n");
    writeEntry(apps / "dup-a.desktop", "Exec=dup\n");
    writeEntry(apps / "dup-b.desktop", "Exec=dup --other\n");
    writeEntry(apps / "shell.desktop", "Exec=sh -c thing\n");
    const fs::path launched = apps / "launched.desktop";
    const std::string scope = "0::/user.slice/user@1000.service/app.slice/";

    const FakeProcess processes[] = {
        {100, 1, 'S', launchedBy(launched, 100), "0::/\n", "/usr/bin/unrelated", ""},
        {101, 100, 'S', launchedBy(launched, 100), "0::/\n", "/usr/bin/helper", ""},  // a child inherits
        {102, 101, 'S', launchedBy(launched, 100), "0::/\n", "", ""},                 // and a grandchild
        {103, 1, 'S', launchedBy(launched, 100), "0::/\n", "/usr/bin/unrelated", ""}, // left the family: stale
        {104, 1, 'S', launchedBy(launched, 9999), "0::/\n", "", ""},                  // launcher long gone
        {105, 1, 'S', "", scope + "app-gnome-org.example.Scoped-77.scope\n", "", ""},
        {106, 1, 'S', "", scope + "app-gnome-google\\x2dchrome-5.scope\n", "", ""},
        {107, 1, 'S', "", scope + "app-gnome-not.installed-5.scope\n", "", ""},
        {108, 1, 'S', "", "0::/\n", "/opt/x/progx (deleted)", ""},
        {109, 1, 'S', "", "0::/\n", "/usr/lib/real/thing", "/usr/bin/progy\0--flag\0"s},
        {110, 1, 'S', "", "0::/\n", "/usr/bin/dup", ""},
        {111, 1, 'S', "", "0::/\n", "/bin/sh", "sh\0-c\0thing\0"s},
        {112, 1, 'Z', "", scope + "app-gnome-org.example.Scoped-78.scope\n", "", ""},
        {113, 1, 'S', "", "", "", ""}, // a kernel thread: nothing to go by
    };
    for (const auto& p : processes)
        writeProcess(proc, p);

    GioWorkspace workspace(proc, {apps});
    std::map<pid_t, RunningApplication> byPid;
    for (const auto& app : workspace.runningApplications())
        byPid[app.processIdentifier] = app;

    const std::map<pid_t, std::pair<std::string, bool>> expected = {
        {100, {"launched", false}},      {101, {"launched", false}},
        {102, {"launched", false}},      {105, {"org.example.Scoped", false}},
        {106, {"google-chrome", false}}, {108, {"progx", false}},
        {109, {"progy", false}},         {112, {"org.example.Scoped", true}},
    };
    for (const auto& [pid, app] : byPid) {
        auto want = expected.find(pid);
        ASSERT_NE(want, expected.end()) << "pid " << pid << " listed as " << app.bundleIdentifier.value_or("?");
        EXPECT_EQ(app.bundleIdentifier, want->second.first) << pid;
        EXPECT_EQ(app.isTerminated, want->second.second) << pid;
    }
    EXPECT_EQ(byPid.size(), expected.size());
}

TEST(GioWorkspace, ForceTerminateKillsByPidAndIgnoresEntriesWithoutOne) {
    pid_t child = fork();
    if (child == 0) {
        pause();
        _exit(0);
    }
    ASSERT_GT(child, 0);
    GioWorkspace workspace;
    // A pid of 0 would signal our own process group; it must be left alone (this test would die).
    workspace.forceTerminate(RunningApplication{"x", 0, false});
    workspace.forceTerminate(RunningApplication{"x", -1, false});
    workspace.forceTerminate(RunningApplication{"x", child, false});
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
}

TEST(GioWorkspace, NamesAndIconsFromTheEntryFile) {
    test::TempDir temp;
    writeEntry(temp / "themed.desktop", "Exec=true\nIcon=accessories-text-editor\n");
    writeEntry(temp / "file-icon.desktop", "Exec=true\nIcon=" + (temp / "icon.png").string() + "\n");
    writeEntry(temp / "no-icon.desktop", "Exec=true\n");
    GioWorkspace workspace(temp.path(), {});
    EXPECT_EQ(workspace.displayName((temp / "themed.desktop").string()), "Some App");
    EXPECT_EQ(workspace.iconName((temp / "themed.desktop").string()), "accessories-text-editor");
    EXPECT_EQ(workspace.iconName((temp / "file-icon.desktop").string()), (temp / "icon.png").string());
    EXPECT_EQ(workspace.iconName((temp / "no-icon.desktop").string()), "");
    EXPECT_EQ(workspace.displayName((temp / "missing.desktop").string()), "missing");
    EXPECT_EQ(workspace.iconName((temp / "missing.desktop").string()), "");
}

TEST(GioWorkspace, FailedOpenCompletesOnceWithAReadableError) {
    test::TempDir temp;
    // GLib refuses this itself: the working folder does not exist.
    writeEntry(temp / "bad-path.desktop", "Exec=true\nPath=" + (temp / "no-such-folder").string() + "\n");
    GioWorkspace workspace(temp.path(), {});
    struct Case {
        std::string location;
        std::string errorContains;
    };
    const Case cases[] = {
        {(temp / "missing.desktop").string(), "missing.desktop"},
        {(temp / "bad-path.desktop").string(), "no-such-folder"},
    };
    for (const auto& c : cases) {
        std::promise<OpenApplicationResult> done;
        int calls = 0;
        workspace.openApplication(c.location, [&](OpenApplicationResult result) {
            if (++calls == 1) done.set_value(std::move(result));
        });
        auto result = done.get_future().get();
        EXPECT_FALSE(result.application) << c.location;
        ASSERT_TRUE(result.errorDescription) << c.location;
        EXPECT_NE(result.errorDescription->find(c.errorContains), std::string::npos) << *result.errorDescription;
        EXPECT_EQ(calls, 1);
    }
}
