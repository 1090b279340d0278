// The arm/pause shortcut of the real program on a private X server.

#include "TrayDesktop.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReportRecording.h"

#include <fstream>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <thread>

using namespace knokle;

namespace {

std::optional<bool> storedTapsActive(const test::TrayDesktop& desktop) {
    auto text = readWholeFile(desktop.dir / "config/settings/settings.json");
    if (!text) return std::nullopt;
    auto json = nlohmann::json::parse(*text, nullptr, false);
    if (!json.is_object() || !json.contains("tapsActive") || !json["tapsActive"].is_boolean()) return std::nullopt;
    return json["tapsActive"].get<bool>();
}

bool waitForTapsActive(const test::TrayDesktop& desktop, bool expected) {
    for (int waited = 0; waited < 5000; waited += 20) {
        if (storedTapsActive(desktop) == expected) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

} // namespace

TEST(ProgramHotKey, EachPressOfTheDefaultShortcutTogglesTheArmedStateOnce) {
    test::TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    // A short quiet recording: the program has a sensor, so no alert, and keeps running after it.
    std::vector<RecordedReport> reports;
    for (int i = 0; i < 200; ++i)
        reports.push_back({i / 1000.0, encodeReport(0, 0, -1)});
    auto rest = desktop.dir / "rest.rec";
    {
        std::ofstream out(rest);
        writeRecording(out, reports);
    }

    auto first = desktop.start({"--replay", rest.string()}, {}, "config", "first.log");
    ASSERT_TRUE(desktop.waitForLog("[MotionSensor] Direct device open result: 0", "first.log")) << desktop.log("first.log");
    EXPECT_NE(storedTapsActive(desktop), true) << "a fresh installation starts paused";

    ASSERT_EQ(desktop.session.run("xdotool key super+alt+t"), 0);
    ASSERT_TRUE(waitForTapsActive(desktop, true)) << desktop.log("first.log");
    // One press is one toggle: it does not flip back on its own.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(storedTapsActive(desktop), true);

    ASSERT_EQ(desktop.session.run("xdotool key super+alt+t"), 0);
    ASSERT_TRUE(waitForTapsActive(desktop, false)) << desktop.log("first.log");

    // A second copy (with settings of its own, else it would hand over to the first) cannot have the shortcut
    // too, and says why it does nothing.
    auto second = desktop.start({"--replay", rest.string()}, {}, "other", "second.log");
    EXPECT_TRUE(desktop.waitForLog("[info] The shortcut ⌥⌘T is in use by another program", "second.log"))
        << desktop.log("second.log");
}
