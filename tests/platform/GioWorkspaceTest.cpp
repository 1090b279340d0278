#include "platform/linux/desktop/GioWorkspace.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "platform/linux/desktop/ProcFiles.h"

#include <csignal>
#include <future>
#include <gtest/gtest.h>
#include <map>
#include <optional>
#include <sys/wait.h>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

constexpr uid_t kUser = 1000;

// A /proc look-alike: one folder per process with the files the scan reads.
struct FakeProcess {
    pid_t pid;
    pid_t parent = 1;
    std::string environ;
    std::string cgroup = "0::/\n";
    std::string exe;
    unsigned long start = 0;
    char state = 'S';
    uid_t real = kUser, effective = kUser;
    std::string flatpakInfo;
    std::string cmdline;
};

void writeProcess(const fs::path& root, const FakeProcess& p) {
    fs::path dir = root / std::to_string(p.pid);
    fs::create_directories(dir / "root");
    auto file = [&](const char* name, const std::string& text) { ASSERT_TRUE(writeFileAtomically(dir / name, text)); };
    file("status", "Name:\tx\nUid:\t" + std::to_string(p.real) + "\t" + std::to_string(p.effective) + "\t0\t0\n");
    file("stat", std::to_string(p.pid) + " (a (b) c) " + p.state + " " + std::to_string(p.parent) +
                     " 0 0 0 0 4194560 0 0 0 0 0 0 0 0 20 0 1 0 " + std::to_string(p.start) + " 0 0");
    file("environ", p.environ);
    file("cgroup", p.cgroup);
    if (!p.flatpakInfo.empty()) file("root/.flatpak-info", p.flatpakInfo);
    if (!p.cmdline.empty()) file("cmdline", p.cmdline);
    if (!p.exe.empty()) fs::create_symlink(p.exe, dir / "exe");
}

// The PID comes first, so that finding the file by a prefix of its name would find the PID instead; the last
// entry has no NUL after it.
std::string launchedBy(const fs::path& file, pid_t pid) {
    return "GIO_LAUNCHED_DESKTOP_FILE_PID="s + std::to_string(pid) + "\0GIO_LAUNCHED_DESKTOP_FILE="s + file.string();
}

void writeEntry(const fs::path& path, const std::string& body) {
    ASSERT_TRUE(writeFileAtomically(path, "[Desktop Entry]\nType=Application\nName=Some App\n" + body));
}

void writeProgram(const fs::path& path) {
    fs::create_directories(path.parent_path());
    ASSERT_TRUE(writeFileAtomically(path, "#!/bin/sh\n"));
    fs::permissions(path, fs::perms::owner_all);
}

} // namespace

TEST(GioWorkspace, RunningApplicationsAreTheUsersOwnMainProcesses) {
    test::TempDir temp;
    fs::path apps = temp / "applications";
    fs::path proc = temp / "proc";
    fs::path bin = temp / "bin";
    fs::create_directories(apps);
    fs::create_directories(proc / "self");
    for (const fs::path& program : {bin / "progx", bin / "sleeper", bin / "dup", temp / "elsewhere/sleeper"})
        writeProgram(program);
    writeEntry(apps / "launched.desktop", "Exec=launched-program\n");
    writeEntry(apps / "org.example.Scoped.desktop", "Exec=scoped\n");
    writeEntry(apps / "progx.desktop", "Exec=" + (bin / "progx").string() + " %U\n");
    writeEntry(apps / "sleeper.desktop", "Exec=" + (bin / "sleeper").string() + "\n");
    writeEntry(apps / "dup-a.desktop", "Exec=" + (bin / "dup").string() + "\n");
    writeEntry(apps / "dup-b.desktop", "Exec=" + (bin / "dup").string() + " --other\n");
    const fs::path launched = apps / "launched.desktop";
    const std::string slice = "0::/user.slice/user@1000.service/app.slice/";
    const std::string scope = slice + "app-gnome-org.example.Scoped-77.scope\n";
    const std::string sandbox = "[Application]\nname=org.example.Sandboxed\n\n[Instance]\ninstance-id=9\n";
    const std::string progx = (bin / "progx").string();
    const std::string sleeper = (bin / "sleeper").string();

    // Expected: the ID a process is listed under, or nothing when it must not be listed.
    const std::pair<FakeProcess, std::optional<std::string>> processes[] = {
        {{100, 1, launchedBy(launched, 100)}, "launched"},
        {{101, 100, launchedBy(launched, 100), "0::/\n", progx}, std::nullopt}, // its helpers, whatever they run
        {{102, 101, launchedBy(launched, 100)}, std::nullopt},
        {{103, 1, launchedBy(launched, 100), "0::/\n", "/usr/bin/unrelated"}, std::nullopt}, // left the family
        {{104, 1, launchedBy(launched, 9999)}, std::nullopt},                                // launcher long gone
        {{105, 1, "", scope, "", 500}, "org.example.Scoped"},
        {{106, 105, "", scope, "", 510}, std::nullopt}, // the rest of its unit
        {{107, 1, "", scope, "", 600}, std::nullopt},   // even when it left the tree
        {{109, 1, "", slice + "app-org.example.Scoped@a1.service\n", "", 0, 'Z'}, "org.example.Scoped"},
        {{110, 1, "", slice + "app-gnome-not.installed-5.scope\n"}, std::nullopt},
        {{111, 1, "", "0::/\n", progx + " (deleted)"}, "progx"},
        {{112, 111, "", "0::/\n", progx}, std::nullopt}, // a child running the same program
        {{113, 1, "", "0::/\n", (temp / "elsewhere/sleeper").string()}, std::nullopt}, // same name, elsewhere
        {{114, 1, "", "0::/\n", sleeper}, "sleeper"},
        {{115, 1, "", "0::/\n", sleeper, 0, 'S', 4242, 4242}, std::nullopt}, // another user's
        {{116, 1, "", scope, sleeper, 0, 'S', kUser, 0}, std::nullopt},      // set-user-ID: not ours to kill
        {{117, 1, "", "0::/\n", (bin / "dup").string()}, std::nullopt},      // two entries run it
        {{118, 119, "", "0::/\n", "", 50, 'S', kUser, kUser, sandbox}, std::nullopt},
        {{119, 1, "", "0::/\n", "", 40, 'S', kUser, kUser, sandbox}, "org.example.Sandboxed"}, // the oldest
        {{120, 1, "", "0::/\n", "", 0, 'S', kUser, kUser, "[Instance]\ninstance-id=3\n"}, std::nullopt},
    };
    for (const auto& [process, expected] : processes)
        writeProcess(proc, process);

    GioWorkspace workspace(proc, {apps}, kUser);
    std::map<pid_t, RunningApplication> listed;
    for (const auto& app : workspace.runningApplications())
        listed[app.processIdentifier] = app;
    for (const auto& [process, expected] : processes) {
        auto it = listed.find(process.pid);
        ASSERT_EQ(it != listed.end(), expected.has_value()) << "pid " << process.pid;
        if (!expected) continue;
        EXPECT_EQ(it->second.bundleIdentifier, *expected) << process.pid;
        EXPECT_EQ(it->second.isTerminated, process.state == 'Z') << process.pid;
    }
}

// Programs that several entries run, and browsers whose packages start them through a launch script, each laid
// out as its package lays it out (below a fixture root).
TEST(GioWorkspace, SharedExecutablesAndLaunchScriptsAreToldApart) {
    test::TempDir temp;
    fs::path apps = temp / "applications", proc = temp / "proc", root = temp / "pkg";
    fs::create_directories(apps);
    auto link = [](const fs::path& at, const fs::path& target) {
        fs::create_directories(at.parent_path());
        fs::create_symlink(target, at);
    };
    auto path = [&](const char* relative) { return (root / relative).string(); };
    for (const char* file : {"usr/bin/xterm", "usr/bin/uxterm", "usr/bin/chromium", "usr/lib/chromium/chromium",
                             "opt/google/chrome/google-chrome", "opt/google/chrome/chrome", "opt/vivaldi/vivaldi",
                             "opt/vivaldi/vivaldi-bin", "home/bin/chrome"})
        writeProgram(root / file);
    // Chrome's script starts its program by its own path; Vivaldi's starts the program's binary beside it.
    link(root / "usr/bin/google-chrome-stable", "../../opt/google/chrome/google-chrome");
    link(root / "usr/bin/vivaldi-stable", "../../opt/vivaldi/vivaldi");
    writeEntry(apps / "debian-xterm.desktop", "Exec=" + path("usr/bin/xterm") + "\nStartupWMClass=XTerm\n");
    writeEntry(apps / "debian-uxterm.desktop", "Exec=" + path("usr/bin/uxterm") + "\nStartupWMClass=UXTerm\n");
    writeEntry(apps / "chromium.desktop", "Exec=" + path("usr/bin/chromium") + " %U\nStartupWMClass=chromium\n");
    writeEntry(apps / "google-chrome.desktop", "Exec=" + path("usr/bin/google-chrome-stable") + " %U\n");
    writeEntry(apps / "vivaldi-stable.desktop", "Exec=" + path("usr/bin/vivaldi-stable") + " %U\n");
    auto argv = [](std::initializer_list<std::string> words) {
        std::string block;
        for (const auto& word : words)
            block += word + '\0';
        return block;
    };
    auto at = [&](pid_t pid, pid_t parent, const char* exe, std::string cmdline) {
        return FakeProcess{pid, parent, "", "0::/\n", path(exe), 0, 'S', kUser, kUser, "", std::move(cmdline)};
    };
    const std::pair<FakeProcess, std::optional<std::string>> processes[] = {
        {at(200, 1, "usr/bin/xterm", argv({"xterm"})), "debian-xterm"},
        {at(201, 1, "usr/bin/xterm", argv({"xterm", "-class", "UXTerm", "-title", "uxterm"})), "debian-uxterm"},
        {at(202, 200, "usr/bin/xterm", argv({"xterm", "-class", "UXTerm"})), "debian-uxterm"}, // not XTerm's helper
        {at(203, 1, "usr/bin/xterm", argv({"xterm", "-class", "Other"})), std::nullopt},
        {at(210, 1, "usr/lib/chromium/chromium", argv({path("usr/lib/chromium/chromium")})), "chromium"},
        {at(211, 210, "usr/lib/chromium/chromium", argv({path("usr/lib/chromium/chromium"), "--type=renderer"})),
         std::nullopt},
        {at(220, 1, "opt/google/chrome/chrome", argv({path("usr/bin/google-chrome-stable")})), "google-chrome"},
        {at(240, 1, "opt/vivaldi/vivaldi-bin", argv({path("opt/vivaldi/vivaldi-bin")})), "vivaldi-stable"},
        {at(260, 1, "home/bin/chrome", argv({"chrome"})), std::nullopt}, // a browser's name, not its package
    };
    for (const auto& [process, expected] : processes)
        writeProcess(proc, process);

    GioWorkspace workspace(proc, {apps}, kUser);
    std::map<pid_t, std::optional<std::string>> listed;
    for (const auto& app : workspace.runningApplications())
        listed[app.processIdentifier] = app.bundleIdentifier;
    for (const auto& [process, expected] : processes)
        EXPECT_EQ(listed.count(process.pid) ? listed[process.pid] : std::nullopt, expected) << process.pid;
}

TEST(GioWorkspace, ForceTerminateKillsByPidAndIgnoresEntriesWithoutOne) {
    pid_t child = fork();
    if (child == 0) _exit(pause());
    ASSERT_GT(child, 0);
    GioWorkspace workspace;
    // A pid of 0 would signal our own process group; it must be left alone (this test would die).
    for (pid_t pid : {0, -1, child})
        workspace.forceTerminate(RunningApplication{"x", pid, false});
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
}

TEST(GioWorkspace, NamesIconsAndFailedOpensFromTheEntryFile) {
    test::TempDir temp;
    writeEntry(temp / "file-icon.desktop", "Exec=true\nIcon=" + (temp / "icon.png").string() + "\n");
    writeEntry(temp / "no-icon.desktop", "Exec=true\n");
    // GLib refuses this itself: the working folder does not exist.
    writeEntry(temp / "bad-path.desktop", "Exec=true\nPath=" + (temp / "no-such-folder").string() + "\n");
    GioWorkspace workspace(temp.path(), {});
    auto at = [&](const char* name) { return (temp / name).string(); };
    EXPECT_EQ(workspace.iconName(at("file-icon.desktop")), at("icon.png"));
    EXPECT_EQ(workspace.iconName(at("no-icon.desktop")), "");
    EXPECT_EQ(workspace.displayName(at("missing.desktop")), "missing");
    EXPECT_EQ(workspace.iconName(at("missing.desktop")), "");

    for (auto [entry, errorContains] :
         {std::pair{"missing.desktop", "missing.desktop"}, {"bad-path.desktop", "no-such-folder"}}) {
        std::promise<OpenApplicationResult> done;
        std::atomic<int> calls = 0;
        workspace.openApplication(at(entry), [&](OpenApplicationResult result) {
            if (++calls == 1) done.set_value(std::move(result));
        });
        auto result = done.get_future().get();
        EXPECT_FALSE(result.application) << entry;
        ASSERT_TRUE(result.errorDescription) << entry;
        EXPECT_NE(result.errorDescription->find(errorContains), std::string::npos) << *result.errorDescription;
        EXPECT_EQ(calls, 1);
    }
}

// State, parent and start time are read by the scan above; a kernel thread is told by its flags alone.
TEST(ProcFiles, ProcStatMarksKernelThreadsAndRefusesGarbage) {
    auto kworker = parseProcStat("3 (kworker/0:1) I 2 0 0 0 -1 69238880 0 0 0 0 0 0 0 0 20 0 1 0 8812 0");
    ASSERT_TRUE(kworker);
    EXPECT_TRUE(kworker->kernelThread);
    for (const char* bad : {"5 (x)", "garbage", "5 (x) S notanumber"})
        EXPECT_FALSE(parseProcStat(bad)) << bad;
}

TEST(ProcFiles, CgroupUnitNamesGiveApplicationCandidates) {
    const std::string userSlice = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";
    const std::pair<std::string, std::vector<std::string>> cases[] = {
        {userSlice + "app-gnome-org.gnome.TextEditor-4711.scope\n",
         {"org.gnome.TextEditor", "gnome-org.gnome.TextEditor"}},
        {userSlice + "app-gnome-google\\x2dchrome-99.scope\n", {"google-chrome", "gnome-google-chrome"}},
        {userSlice + "app-kde-org.kde.dolphin.service\n", {"org.kde.dolphin", "kde-org.kde.dolphin"}},
        {userSlice + "app-firefox-12.scope\n", {"firefox"}},
        {userSlice + "dbus-:1.2-org.freedesktop.Notifications@0.service\n", {}}, // not an application's unit
        {userSlice + "app-gnome.slice\n", {}},
        // Legacy hierarchies: the named systemd one counts, the unified one wins when both exist.
        {"4:memory:/app-gnome-wrong-1.scope\n1:name=systemd:/user.slice/app-gnome-nautilus-5.scope\n",
         {"nautilus", "gnome-nautilus"}},
        {"1:name=systemd:/app-gnome-old-5.scope\n0::/x/app-gnome-new-6.scope\n", {"new", "gnome-new"}},
    };
    for (const auto& [file, candidates] : cases)
        EXPECT_EQ(cgroupApplicationCandidates(file), candidates) << file;
}
