#include "AppDelegateHarness.h"

#include <gtest/gtest.h>

using namespace knokle;
using test::AppHarness;
using test::modeWith;

namespace {

std::vector<std::string> tagged(const std::vector<std::string>& lines) {
    std::vector<std::string> out;
    for (const auto& line : lines)
        if (line.rfind("[MotionSensor]", 0) != 0) out.push_back(line);
    return out;
}

} // namespace

TEST(GestureHandling, PausedReportsOnlyAndDoesNotRebuildTheMenu) {
    AppHarness h;
    h.env.workspace.install("org.example.Notes");
    h.storeModes({modeWith(2, "Focus", {"org.example.Notes"})});
    auto& app = h.launch();
    app.showCalibration();
    h.calibration->close();
    h.calibration->journal.clear();
    size_t menus = h.status.menus.size();
    h.taps(2);
    EXPECT_EQ(tagged(h.lines.lines()), (std::vector<std::string>{"[impact] force x1.50", "[impact] force x1.50",
                                                                 "[paused] 2-tap detected (taps are paused)"}));
    EXPECT_EQ(h.status.menus.size(), menus);
    EXPECT_TRUE(h.env.workspace.openedLocations().empty());
    auto& journal = h.calibration->journal;
    EXPECT_NE(std::find(journal.begin(), journal.end(), "detected 2"), journal.end())
        << "the calibration flash is queued even when the window is closed";
}

TEST(GestureHandling, VisibleCalibrationWindowOnlyTests) {
    AppHarness h;
    h.arm();
    h.storeModes({modeWith(1, "One", {"org.example.Notes"})});
    auto& app = h.launch();
    app.showCalibration();
    ASSERT_TRUE(app.calibrationVisible());
    EXPECT_EQ(app.counter.fireAtCount, 3);
    h.taps(1);
    EXPECT_EQ(tagged(h.lines.lines()).back(), "[test] 1-tap detected (actions suppressed while testing)");
    EXPECT_TRUE(h.env.workspace.openedLocations().empty());
    auto& journal = h.calibration->journal;
    EXPECT_NE(std::find(journal.begin(), journal.end(), "running 1"), journal.end());
    EXPECT_NE(std::find(journal.begin(), journal.end(), "detected 1"), journal.end());
}

TEST(GestureHandling, NoModeForTheCount) {
    AppHarness h;
    h.arm();
    h.storeModes({modeWith(2, "Two", {"org.example.Notes"})});
    h.launch();
    size_t menus = h.status.menus.size();
    h.taps(1);
    EXPECT_EQ(tagged(h.lines.lines()).back(), "[info] 1-tap gesture, but no mode configured for that count.");
    EXPECT_EQ(h.status.menus.size(), menus + 1);
}

TEST(GestureHandling, DryRunReportsAndStaysArmed) {
    AppHarness h;
    h.arm();
    h.environment["KNOKLE_DRYRUN"] = "1";
    SlapMode focus = modeWith(2, "Focus", {"com.apple.Notes"});
    h.storeModes({focus});
    auto& app = h.launch();
    EXPECT_TRUE(app.dryRun);
    h.taps(2);
    EXPECT_EQ(tagged(h.lines.lines()).back(),
              R"([DRY RUN] 2-tap -> would run 'Focus' (opens: ["com.apple.Notes"], quits: []))");
    EXPECT_TRUE(app.tapsActive());
    EXPECT_TRUE(h.env.workspace.openedLocations().empty());

    SlapMode mixed = modeWith(1, "Mix", {"a"});
    mixed.openURLs = {"https://x.org/\"q\""};
    mixed.quitApps = {"b", "c"};
    AppHarness h2;
    h2.arm();
    h2.environment["KNOKLE_DRYRUN"] = "1";
    h2.storeModes({mixed});
    h2.launch();
    h2.taps(1);
    EXPECT_EQ(tagged(h2.lines.lines()).back(),
              R"([DRY RUN] 1-tap -> would run 'Mix' (opens: ["a", "https://x.org/\"q\""], quits: ["b", "c"]))");
}

TEST(GestureHandling, DryRunOnlyForExactlyOne) {
    struct Case {
        std::optional<std::string> value;
        bool dryRun;
    } cases[] = {{"1", true}, {"true", false}, {"01", false}, {"1 ", false}, {"", false}, {std::nullopt, false}};
    for (const auto& c : cases) {
        AppHarness h;
        if (c.value) h.environment["KNOKLE_DRYRUN"] = *c.value;
        EXPECT_EQ(h.make().dryRun, c.dryRun) << c.value.value_or("(unset)");
    }
}

TEST(GestureHandling, FireWithAutoPauseThenTheNextGestureIsPaused) {
    AppHarness h;
    h.arm();
    h.env.workspace.install("org.example.Notes");
    h.storeModes({modeWith(2, "Write", {"org.example.Notes"})});
    auto& app = h.launch();
    h.taps(2);
    auto lines = tagged(h.lines.lines());
    ASSERT_GE(lines.size(), 4u);
    EXPECT_EQ(lines[2], "[FIRE] 2-tap -> running 'Write'");
    EXPECT_EQ(lines[3], "[auto-pause] taps paused after firing");
    EXPECT_FALSE(app.tapsActive());
    EXPECT_EQ(h.env.workspace.openedLocations(), std::vector<std::string>{"/apps/org.example.Notes.desktop"});
    EXPECT_EQ(h.status.menus.back()[0].title, "Taps Paused  (⌥⌘T)");

    h.lines.clear();
    h.taps(2);
    EXPECT_EQ(tagged(h.lines.lines()).back(), "[paused] 2-tap detected (taps are paused)");
}

TEST(GestureHandling, FireWithoutAutoPauseKeepsFiring) {
    AppHarness h;
    h.arm();
    h.defaults.values["autoPause"] = false;
    h.env.workspace.install("org.example.Notes");
    h.storeModes({modeWith(1, "Write", {"org.example.Notes"})});
    auto& app = h.launch();
    h.taps(1);
    h.taps(1);
    int fired = 0;
    for (const auto& line : h.lines.lines())
        fired += line == "[FIRE] 1-tap -> running 'Write'";
    EXPECT_EQ(fired, 2);
    EXPECT_TRUE(app.tapsActive());
}

TEST(GestureHandling, ClickVetoAndIconFlash) {
    struct Case {
        double afterClick;
        bool counted;
    } cases[] = {{0.2, false}, {0.3, true}};
    for (const auto& c : cases) {
        AppHarness h;
        auto& app = h.launch();
        ASSERT_TRUE(h.buttons.handler);
        h.buttons.handler();
        h.env.loop.advance(c.afterClick);
        h.status.icons.clear();
        app.detector.onImpact(1.92);
        if (c.counted) {
            EXPECT_EQ(h.lines.lines(), std::vector<std::string>{"[impact] force x1.92"});
            EXPECT_EQ(app.counter.currentCount(), 1);
            EXPECT_EQ(h.status.icons, std::vector<bool>{true});
            h.env.loop.advance(0.149);
            EXPECT_EQ(h.status.icons, std::vector<bool>{true});
            h.env.loop.advance(0.002);
            EXPECT_EQ(h.status.icons, (std::vector<bool>{true, false}));
        } else {
            EXPECT_EQ(h.lines.lines(), std::vector<std::string>{"[click] impact ignored — trackpad/mouse click"});
            EXPECT_EQ(app.counter.currentCount(), 0);
            EXPECT_TRUE(h.status.icons.empty());
        }
    }
}

TEST(GestureHandling, NoSensorSkipsOnboardingAlertsOnceAndLeavesTheReducedMenu) {
    AppHarness h;
    h.sensorPresent = false;
    h.defaults.values.erase("didOnboard");
    h.alerts.answer = 1; // "Leave Running"
    auto& app = h.launch();
    EXPECT_TRUE(app.sensorMissing);
    EXPECT_FALSE(h.calibration);
    EXPECT_FALSE(h.defaults.values.count("didOnboard"));
    ASSERT_EQ(h.alerts.shown.size(), 1u);
    const Alert& alert = h.alerts.shown[0];
    EXPECT_EQ(alert.style, AlertStyle::warning);
    EXPECT_EQ(alert.messageText, "This Mac has no motion sensor");
    EXPECT_EQ(alert.informativeText,
              "Knokle detects taps with the built-in accelerometer, which only MacBooks have. Desktop Macs (mini, "
              "Studio, iMac, Pro) can't detect taps, so Knokle won't be able to do anything here.");
    EXPECT_EQ(alert.buttons, (std::vector<std::string>{"Quit Knokle", "Leave Running"}));
    EXPECT_EQ(h.terminated, 0);
    std::vector<std::string> titles;
    for (const auto& item : app.menuNeedsUpdate())
        titles.push_back(item.separator ? "---" : item.title);
    EXPECT_EQ(titles, (std::vector<std::string>{"No motion sensor on this Mac", "---", "Quit Knokle"}));
    app.rebuildMenu();
    EXPECT_EQ(h.status.menus.back().size(), 3u);
    EXPECT_EQ(h.alerts.shown.size(), 1u);

    AppHarness quitting;
    quitting.sensorPresent = false;
    quitting.launch();
    EXPECT_EQ(quitting.terminated, 1);
}

TEST(GestureHandling, OnboardingWritesTheFlagBeforeOpeningTheWindow) {
    AppHarness h;
    h.defaults.values.erase("didOnboard");
    h.launch();
    ASSERT_TRUE(h.calibration);
    EXPECT_TRUE(h.didOnboardWhenWindowMade);
    EXPECT_TRUE(h.calibration->visible);

    AppHarness again; // didOnboard already true
    again.launch();
    EXPECT_FALSE(again.calibration);
}

TEST(GestureHandling, TestModeRunsWhateverTheState) {
    AppHarness h;
    h.env.workspace.install("org.example.Notes");
    SlapMode mode = modeWith(2, "Write", {"org.example.Notes"});
    h.storeModes({mode});
    auto& app = h.launch();
    size_t menus = h.status.menus.size();
    app.testMode(Uuid::random());
    app.testMode(std::nullopt);
    h.env.loop.runPending();
    EXPECT_TRUE(h.env.workspace.openedLocations().empty());

    for (const auto& item : app.menuNeedsUpdate())
        if (item.action == MenuAction::testMode) app.perform(item);
    h.env.loop.runPending();
    EXPECT_EQ(h.env.workspace.openedLocations(), std::vector<std::string>{"/apps/org.example.Notes.desktop"});
    EXPECT_FALSE(app.tapsActive());
    EXPECT_EQ(h.status.menus.size(), menus);
    EXPECT_TRUE(h.lines.lines().empty() ||
                h.lines.lines().front().rfind("[FIRE]", 0) != 0); // nothing of the gesture path is printed
}

TEST(GestureHandling, NothingRunsOnceTheControllerIsGone) {
    AppHarness h;
    h.arm();
    h.storeModes({modeWith(3, "Three", {"x"})});
    auto& app = h.launch();
    app.detector.onImpact(1.5); // schedules the icon restore and the counter's window
    h.app.reset();
    h.status.icons.clear();
    h.env.loop.advance(5.0);
    EXPECT_TRUE(h.status.icons.empty());
}
