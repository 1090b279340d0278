// The arm/pause shortcut of the real program on a private X server.

#include "ProgramRun.h"
#include "TempDir.h"
#include "XSession.h"
#include "common/AtomicFile.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReportRecording.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>

using namespace knokle;
using test::RunningProgram;

namespace {

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

    // A second copy cannot have the shortcut too, and says why it does nothing.
    RunningProgram second(session, dir, "second", dir / "rest.rec");
    EXPECT_TRUE(second.waitForOutput("[info] The shortcut ⌥⌘T is in use by another program")) << second.output();
}
