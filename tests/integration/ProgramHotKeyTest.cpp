// The arm/pause shortcut of the real program on a private X server.

#include "ProgramRun.h"
#include "TempDir.h"
#include "XSession.h"
#include "common/AtomicFile.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReportRecording.h"

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

using namespace knokle;

namespace {

// The program running in the background on the session's display, its output going to a file.
class RunningProgram {
public:
    // Without a tray (offscreen), so that only the shortcut can arm taps; `config` names its settings folder.
    RunningProgram(const test::XSession& session, const test::TempDir& dir, const std::string& name,
                   const std::filesystem::path& recording, const std::string& config = "config")
        : log(dir / (name + ".log")) {
        std::string command = "exec env DISPLAY=" + session.display() +
                              " QT_QPA_PLATFORM=offscreen DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"
                              " KNOKLE_CONFIG_DIR=" +
                              test::shellQuoted((dir / config).string()) +
                              " KNOKLE_DATA_DIR=" + test::shellQuoted((dir / "data").string()) +
                              " XDG_CONFIG_HOME=" + test::shellQuoted((dir / "xdg").string()) + " timeout 60 " +
                              test::shellQuoted(KNOKLE_EXECUTABLE) + " --replay " +
                              test::shellQuoted(recording.string()) + " > " + test::shellQuoted(log.string()) + " 2>&1";
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        if (posix_spawn(&pid, "/bin/sh", nullptr, &attributes, const_cast<char**>(argv), environ) != 0) pid = -1;
        posix_spawnattr_destroy(&attributes);
    }
    ~RunningProgram() {
        if (pid <= 0) return;
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }

    std::string output() const { return readWholeFile(log).value_or(""); }
    bool waitForOutput(const std::string& text, int limitMs = 10000) const {
        for (int waited = 0; waited < limitMs; waited += 20) {
            if (output().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

private:
    std::filesystem::path log;
    pid_t pid = -1;
};

std::optional<bool> storedTapsActive(const test::TempDir& dir) {
    auto text = readWholeFile(dir / "config/settings.json");
    if (!text) return std::nullopt;
    auto json = nlohmann::json::parse(*text, nullptr, false);
    if (!json.is_object() || !json.contains("tapsActive") || !json["tapsActive"].is_boolean()) return std::nullopt;
    return json["tapsActive"].get<bool>();
}

bool waitForTapsActive(const test::TempDir& dir, bool expected) {
    for (int waited = 0; waited < 5000; waited += 20) {
        if (storedTapsActive(dir) == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

TEST(ProgramHotKey, EachPressOfTheDefaultShortcutTogglesTheArmedStateOnce) {
    test::XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    test::TempDir dir;
    // A short quiet recording: the program has a sensor, so no alert, and keeps running after it.
    std::vector<RecordedReport> reports;
    for (int i = 0; i < 200; ++i)
        reports.push_back({i / 1000.0, encodeReport(0, 0, -1)});
    {
        std::ofstream out(dir / "rest.rec");
        writeRecording(out, reports);
    }

    RunningProgram first(session, dir, "first", dir / "rest.rec");
    ASSERT_TRUE(first.waitForOutput("[MotionSensor] Direct device open result: 0")) << first.output();
    EXPECT_NE(storedTapsActive(dir), true) << "a fresh installation starts paused";

    ASSERT_EQ(session.run("xdotool key super+alt+t"), 0);
    ASSERT_TRUE(waitForTapsActive(dir, true)) << first.output();
    // One press is one toggle: it does not flip back on its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(storedTapsActive(dir), true);

    ASSERT_EQ(session.run("xdotool key super+alt+t"), 0);
    ASSERT_TRUE(waitForTapsActive(dir, false)) << first.output();

    // A second copy (with settings of its own, else it would hand over to the first) cannot have the shortcut
    // too, and says why it does nothing.
    RunningProgram second(session, dir, "second", dir / "rest.rec", "other-config");
    EXPECT_TRUE(second.waitForOutput("[info] The shortcut ⌥⌘T is in use by another program")) << second.output();
}
