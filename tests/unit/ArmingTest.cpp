#include "AppDelegateHarness.h"

#include <gtest/gtest.h>

using namespace knokle;
using test::AppHarness;
using test::modeWith;

TEST(Arming, SetArmedWritesResetsAndRebuildsOnlyOnAChange) {
    AppHarness h;
    auto& app = h.launch();
    app.detector.onImpact(1.5);
    ASSERT_EQ(app.counter.currentCount(), 1);
    size_t menus = h.status.menus.size();

    app.setArmed(true);
    EXPECT_TRUE(app.tapsActive());
    EXPECT_EQ(app.counter.currentCount(), 0) << "arming drops a half-counted gesture";
    EXPECT_EQ(h.status.menus.size(), menus + 1);
    EXPECT_EQ(h.status.menus.back()[0].title, "Taps Active  (⌥⌘T)");

    app.detector.onImpact(1.5);
    int writes = h.defaults.writes;
    app.setArmed(true);
    EXPECT_EQ(h.defaults.writes, writes);
    EXPECT_EQ(app.counter.currentCount(), 1) << "arming when armed resets nothing";
    EXPECT_EQ(h.status.menus.size(), menus + 1);

    app.setArmed(false);
    EXPECT_FALSE(app.tapsActive());
    EXPECT_EQ(app.counter.currentCount(), 1) << "pausing resets nothing";
}

TEST(Arming, HotKeyAndMenuToggle) {
    AppHarness h;
    auto& app = h.launch();
    EXPECT_EQ(h.hotKeys.journal, std::vector<std::string>{"register 17/2304"});
    ASSERT_TRUE(app.armHotKey);
    h.hotKeys.press();
    EXPECT_FALSE(app.tapsActive()) << "the press is queued";
    h.env.loop.runPending();
    EXPECT_TRUE(app.tapsActive());
    h.hotKeys.press();
    h.env.loop.runPending();
    EXPECT_FALSE(app.tapsActive());

    for (const auto& item : app.menuNeedsUpdate())
        if (item.action == MenuAction::toggleActive || item.action == MenuAction::toggleAutoPause) app.perform(item);
    EXPECT_TRUE(app.tapsActive());
    EXPECT_FALSE(app.autoPause());
}

TEST(Arming, AShortcutHeldByAnotherProgramIsReported) {
    AppHarness h;
    h.hotKeys.refuse = HotKeyFailure{HotKeyFailure::Kind::inUse, "in use by another program"};
    h.make();
    h.app->applicationDidFinishLaunching();
    EXPECT_FALSE(h.app->armHotKey);
    int reported = 0;
    for (const auto& line : h.lines.lines())
        if (line.rfind("[info] ", 0) == 0 && line.find("⌥⌘T") != std::string::npos) ++reported;
    EXPECT_EQ(reported, 1);

    AppHarness quiet; // no display at all: nothing to tell the user
    quiet.hotKeys.refuse = HotKeyFailure{HotKeyFailure::Kind::unavailable, "no X display"};
    quiet.make();
    quiet.app->applicationDidFinishLaunching();
    for (const auto& line : quiet.lines.lines())
        EXPECT_EQ(line.rfind("[info] ", 0), std::string::npos) << line;
}

TEST(Arming, ApplyFirmness) {
    struct Case {
        std::int64_t level;
        int detectorLevel;
        double initialWindow, maxWindow;
    } cases[] = {{0, 1, 1.0, 1.4}, {1, 1, 1.0, 1.4}, {2, 2, 1.3, 1.8},
                 {3, 3, 2.2, 3.0}, {7, 3, 2.2, 3.0}, {-5, 1, 1.0, 1.4}};
    for (const auto& c : cases) {
        AppHarness h;
        h.defaults.values["cooldownSeconds"] = 0.0;
        auto& app = h.launch();
        app.applyFirmness(c.level);
        EXPECT_EQ(app.detector.level, c.detectorLevel) << c.level;
        EXPECT_EQ(app.counter.initialWindow, c.initialWindow) << c.level;
        EXPECT_EQ(app.counter.maxWindow, c.maxWindow) << c.level;
        EXPECT_EQ(app.counter.cooldown, 1.0) << "a stored 0 applies as 1 s";
    }
}

TEST(Arming, LaunchAppliesTheStoredSettings) {
    AppHarness h;
    h.defaults.values["firmness"] = std::int64_t(-4);
    h.defaults.values["cooldownSeconds"] = 3.0;
    auto& app = h.launch();
    EXPECT_EQ(app.detector.level, 1);
    EXPECT_EQ(app.counter.initialWindow, 1.0);
    EXPECT_EQ(app.counter.cooldown, 3.0);
}

TEST(Arming, RefreshMaxCount) {
    auto focus = [](std::int64_t count, std::optional<std::string> id) {
        SlapMode mode = modeWith(count, "F", {});
        mode.focusModeIdentifier = std::move(id);
        return mode;
    };
    struct Case {
        const char* what;
        std::vector<SlapMode> modes;
        int fireAtCount;
    } cases[] = {
        {"no modes", {}, 3},
        {"no mode with an action", {modeWith(1, "A", {}), modeWith(2, "B", {})}, 3},
        {"one and an empty two", {modeWith(1, "A", {"x"}), modeWith(2, "B", {})}, 1},
        {"two and one", {modeWith(2, "B", {"x"}), modeWith(1, "A", {"y"})}, 2},
        {"five taps", {modeWith(5, "E", {"x"})}, 3},
        {"focus of one space counts", {focus(2, " ")}, 2},
        {"empty focus does not", {focus(2, ""), modeWith(1, "A", {"x"})}, 1},
        {"negative count", {modeWith(-2, "N", {"x"})}, 1},
    };
    for (const auto& c : cases) {
        AppHarness h;
        h.storeModes(c.modes);
        auto& app = h.launch();
        EXPECT_EQ(app.counter.maxCount, 3) << c.what;
        EXPECT_EQ(app.counter.fireAtCount, c.fireAtCount) << c.what;
    }
}

TEST(Arming, VisibleCalibrationWindowRecognisesEveryLength) {
    AppHarness h;
    h.storeModes({modeWith(1, "A", {"x"})});
    auto& app = h.launch();
    EXPECT_EQ(app.counter.fireAtCount, 1);
    app.showCalibration();
    EXPECT_EQ(app.counter.fireAtCount, 3);
    h.calibration->close();
    EXPECT_EQ(app.counter.fireAtCount, 1);
}

TEST(Arming, CalibrationWindowStartsFromTheSettingsAndItsHandlersWrite) {
    AppHarness h;
    h.defaults.values["firmness"] = std::int64_t(1);
    h.defaults.values["cooldownSeconds"] = 2.0;
    auto& app = h.launch();
    app.showCalibration();
    ASSERT_TRUE(h.calibration);
    auto& window = *h.calibration;
    EXPECT_EQ(window.setup.firmness, 1);
    EXPECT_EQ(window.setup.cooldown, 2.0);
    EXPECT_EQ(window.setup.hotkeyDisplay, "⌥⌘T");
    EXPECT_EQ(window.setup.thresholdG, SlapDetector::thresholds[0]);
    EXPECT_EQ(window.setup.markerFraction, 0.38);

    window.firmnessValue = 2;
    window.onFirmnessChange(3);
    EXPECT_EQ(h.defaults.values["firmness"], StoredValue(std::int64_t(2)));
    EXPECT_EQ(app.detector.level, 3) << "the level passed, not the one stored";
    EXPECT_EQ(window.thresholdG, SlapDetector::thresholds[1]);
    EXPECT_EQ(window.markerFraction, 0.6);

    window.firmnessValue = 1;
    window.onFirmnessChange(1);
    EXPECT_EQ(h.defaults.values["firmness"], StoredValue(std::int64_t(1)));
    EXPECT_EQ(window.thresholdG, SlapDetector::thresholds[0]);
    EXPECT_EQ(window.markerFraction, 0.38);

    size_t menus = h.status.menus.size();
    window.onCooldownChange(5.0);
    EXPECT_EQ(app.counter.cooldown, 5.0);
    EXPECT_EQ(h.defaults.values["cooldownSeconds"], StoredValue(5.0));
    EXPECT_EQ(h.status.menus.size(), menus);

    window.onAutoPauseChange(false);
    EXPECT_FALSE(app.autoPause());
    EXPECT_EQ(h.status.menus.size(), menus + 1);

    h.hotKeys.journal.clear();
    window.onHotkeyChange(40, 0x0300, "⇧⌘K");
    EXPECT_EQ(h.hotKeys.journal, (std::vector<std::string>{"register 40/768", "unregister 1"}))
        << "the new shortcut is registered before the old one goes";
    EXPECT_EQ(app.hotkeyKeyCode(), 40u);
    EXPECT_EQ(app.hotkeyMods(), 768u);
    EXPECT_EQ(h.status.menus.back()[0].title, "Taps Paused  (⇧⌘K)");
}

TEST(Arming, LiveDataReachesTheVisibleWindowAfterTheCallback) {
    AppHarness h;
    auto& app = h.launch();
    app.showCalibration();
    auto& window = *h.calibration;
    window.level = 0.1;
    app.detector.onAcceptedPeak(0.3);
    EXPECT_EQ(window.level, 0.1) << "queued, not immediate";
    h.env.loop.runPending();
    EXPECT_EQ(window.level, 0.3);
    app.detector.onAcceptedPeak(0.2);
    h.env.loop.runPending();
    EXPECT_EQ(window.level, 0.3) << "the meter keeps the larger value";

    window.journal.clear();
    app.counter.onCooldownChanged(true);
    h.env.loop.runPending();
    EXPECT_EQ(window.journal, (std::vector<std::string>{"cooldown on", "refreshStatus"}));

    window.close();
    window.journal.clear();
    app.detector.onAcceptedPeak(0.9);
    app.counter.onCooldownChanged(false);
    h.env.loop.runPending();
    EXPECT_EQ(window.level, 0.3);
    EXPECT_TRUE(window.journal.empty());
}

TEST(Arming, OpenAtLogin) {
    AppHarness h;
    h.storeModes({});
    auto& app = h.launch();
    app.toggleOpenAtLogin();
    EXPECT_EQ(h.login.current, LoginItemStatus::enabled);
    EXPECT_TRUE(h.status.menus.back()[6].checked);
    app.toggleOpenAtLogin();
    EXPECT_EQ(h.login.current, LoginItemStatus::notRegistered);
    EXPECT_TRUE(h.alerts.shown.empty());

    h.login.failure = "Could not write /x/knokle.desktop: Permission denied";
    app.toggleOpenAtLogin();
    ASSERT_EQ(h.alerts.shown.size(), 1u);
    EXPECT_EQ(h.alerts.shown[0].messageText, "Couldn't change the login item");
    EXPECT_EQ(h.alerts.shown[0].informativeText, "Could not write /x/knokle.desktop: Permission denied");
    EXPECT_EQ(h.alerts.shown[0].buttons.size(), 1u);
    EXPECT_FALSE(h.status.menus.back()[6].checked);
}
