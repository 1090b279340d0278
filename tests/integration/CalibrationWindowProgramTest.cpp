// The real program on a private desktop with its calibration window open: the arm/pause shortcut, recording it
// again, and the bundled demo recording shown live.

#include "TrayDesktop.h"
#include "viewmodels/Palette.h"

#include <gtest/gtest.h>
// After gtest: Xlib's macros (None, Bool) would break it.
#include "XWindows.h"

using namespace knokle;
using test::waitFor;

namespace {

// The pixels of a grab in one colour (to a step in each channel): how many, and their middle in root coordinates.
std::pair<int, std::pair<int, int>> pixelsOf(const test::Screenshot& shot, const Colour& colour) {
    auto off = [](std::uint32_t value, double expected) {
        return std::abs(int(value & 0xff) - int(expected * 255 + 0.5));
    };
    long sumX = 0, sumY = 0, n = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int column = 0; column < shot.width; ++column) {
            std::uint32_t p = shot.at(column, y);
            if (off(p >> 16, colour.red) <= 1 && off(p >> 8, colour.green) <= 1 && off(p, colour.blue) <= 1)
                sumX += column, sumY += y, ++n;
        }
    return {int(n), n ? std::make_pair(shot.x + int(sumX / n), shot.y + int(sumY / n)) : std::make_pair(0, 0)};
}

} // namespace

TEST(CalibrationWindowProgram, TheShortcutTogglesTapsAndCanBeRecordedAgain) {
    test::TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    // Quiet: a sensor, and nothing else.
    auto program = desktop.start({"--replay", test::recording(desktop.dir / "rest.rec", SyntheticMotion().rest(0.2))});
    test::XWindows x(desktop.session.display());
    Window window = 0;
    ASSERT_TRUE(waitFor([&] { return (window = x.find("Test Your Taps")) != 0; })) << desktop.log();
    EXPECT_NE(desktop.settings().value("tapsActive", false), true) << "a fresh installation starts paused";
    // Docks match it to the desktop entry (StartupWMClass=Knokle) and show Knokle's icon, not Qt's.
    std::string properties = x.xprop(window, "WM_CLASS _NET_WM_ICON");
    EXPECT_NE(properties.find("WM_CLASS(STRING) = \"knokle\", \"Knokle\""), std::string::npos) << properties;
    // Knokle's icon comes in every size it is drawn in; Qt's generic one is a single 48 x 48 picture.
    EXPECT_NE(properties.find("Icon (128 x 128)"), std::string::npos) << properties.substr(0, 200);
    std::string entry = test::text(std::string(KNOKLE_SOURCE_DIR) + "/share/org.knokle.Knokle.desktop");
    EXPECT_NE(entry.find("\nStartupWMClass=Knokle\n"), std::string::npos);
    auto pressedTo = [&](bool active) {
        EXPECT_EQ(desktop.session.run("xdotool key super+alt+t"), 0);
        return waitFor([&] { return desktop.settings().value("tapsActive", !active) == active; }, 5000);
    };
    ASSERT_TRUE(pressedTo(true)) << desktop.log();
    ASSERT_TRUE(pressedTo(false)) << "one press is one toggle";

    // The shortcut box is the window's one field-coloured control, in the last card: scrolled into view where the
    // screen is too short for the whole window.
    desktop.session.run("xdotool mousemove --window " + std::to_string(window) + " 250 300 click --repeat 10 5");
    std::pair<int, int> box;
    ASSERT_TRUE(waitFor([&] { return (box = pixelsOf(x.shot(window), Palette::field).second).first > 0; }));
    ASSERT_EQ(desktop.session.run("xdotool mousemove " + std::to_string(box.first) + " " + std::to_string(box.second) +
                                  " click 1"),
              0);
    ASSERT_TRUE(waitFor([&] { return pixelsOf(x.shot(window), Palette::neonFill).first >= 50; }))
        << "the box shows it is listening";
    ASSERT_EQ(desktop.session.run("xdotool key super+alt+t"), 0);
    // Its key code and modifiers are stored with it: pressed again, it works.
    ASSERT_TRUE(waitFor([&] { return desktop.settings().value("hotkeyDisplay", "") == "⌥⌘T"; })) << desktop.log();
    EXPECT_NE(desktop.settings().value("tapsActive", false), true)
        << "the press was recorded, not taken as the shortcut";
    EXPECT_TRUE(pressedTo(true)) << "registered again";
}

TEST(CalibrationWindowProgram, OpenedFromTheMenuItShowsTheDemoTapsLiveAndOnceClosedAGestureFires) {
    test::TrayDesktop desktop;
    ASSERT_TRUE(desktop.ok()) << desktop.session.error();
    // Armed, with a mode for every count: only the open window keeps them from firing.
    test::put(desktop.dir / "config/settings/settings.json",
              R"({"tapsActive": true, "autoPause": false, "didOnboard": true})");
    test::put(desktop.dir / "config/data/modes.json",
              R"([{"slapCount": 1, "name": "M1", "openURLs": ["http://localhost:9/"]},
                  {"slapCount": 2, "name": "M2", "openURLs": ["http://localhost:9/"]},
                  {"slapCount": 3, "name": "M3", "openURLs": ["http://localhost:9/"]}])");
    // The demo, then a rest long enough to close the window, then two taps more.
    std::ifstream demo(std::string(KNOKLE_SOURCE_DIR) + "/share/demo/gestures.rec");
    RecordingReader reader(demo, "demo");
    std::vector<RecordedReport> reports;
    for (RecordedReport report; reader.next(report);)
        reports.push_back(report);
    ASSERT_FALSE(reports.empty());
    SyntheticMotion after(1000, 1, 0.001, reports.back().offset + 0.001);
    after.rest(6.0).taps(2, 0.3, {.peak = 0.15}).rest(3.0);
    auto replay = test::recording(desktop.dir / "demo-then-two.rec", after, reports);
    auto program = desktop.start({"--replay", replay}, {"KNOKLE_DRYRUN=1"});
    ASSERT_TRUE(desktop.waitForItem()) << desktop.log();
    desktop.click("Test Taps");
    test::XWindows x(desktop.session.display());
    Window window = 0;
    ASSERT_TRUE(waitFor([&] { return (window = x.find("Test Your Taps")) != 0; })) << desktop.log();

    // The most pixels seen over many grabs of the second meter block lit.
    const Colour secondBlock = mix(Palette::neon, Palette::warm, 1.0 / 12);
    int meter = 0;
    auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < limit && desktop.log().find("[test] 3-tap") == std::string::npos)
        meter = std::max(meter, pixelsOf(x.shot(window), secondBlock).first);
    std::string output = desktop.log();
    EXPECT_GT(meter, 100) << "the meter lit up past its first block";
    for (int taps = 1; taps <= 3; ++taps)
        EXPECT_NE(output.find("[test] " + std::to_string(taps) + "-tap detected (actions suppressed while testing)"),
                  std::string::npos)
            << output;
    EXPECT_EQ(output.find("[DRY RUN]"), std::string::npos) << output;
    EXPECT_EQ(output.find("[FIRE]"), std::string::npos) << output;

    // Closed as the user would: the window manager's Alt+F4 asks it to close.
    ASSERT_EQ(desktop.session.run("xdotool windowactivate --sync " + std::to_string(window) + " key alt+F4"), 0);
    ASSERT_TRUE(waitFor([&] { return x.find("Test Your Taps") == 0; }));
    EXPECT_TRUE(desktop.waitForLog("[DRY RUN] 2-tap -> would run 'M2'", 15000)) << desktop.log();
}
