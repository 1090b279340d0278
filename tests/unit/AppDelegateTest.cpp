#include "AppDelegateHarness.h"

#include <gtest/gtest.h>

using namespace knokle;
using test::AppHarness;
using test::modeWith;
using Lines = std::vector<std::string>;

namespace {

// Taps one at a time, 0.3 s apart, until a gesture closes; the number of taps it took.
int tapsUntilAGestureCloses(AppHarness& h) {
    h.rest(0.5); // long enough for any cooldown, and for a reset detector to learn gravity
    for (int taps = 1; taps <= 4; ++taps) {
        h.lines.clear();
        h.taps(1, 0.3 - test::kFirmTap.duration);
        for (const auto& line : h.said())
            if (line.rfind("[impact]", 0) != 0) return taps;
    }
    return 0;
}

struct FixedAccess final : SensorAccess {
    std::optional<SensorAccessProblem> problem;
    std::optional<SensorAccessProblem> unreadableSensor() const override { return problem; }
};

const std::string kInstead = "; arm and pause taps from the menu instead.";
const std::string kInUse = " is in use by another program" + kInstead;

} // namespace

TEST(AppDelegate, TheShortcutArmsAndResetsAHalfCountedGestureAndTheMenuTogglesTheRest) {
    AppHarness h;
    auto& app = h.launch();
    h.taps(1, 0.1);
    size_t menus = h.status.menus.size();
    h.hotKeys.press();
    h.env.loop.runPending();
    EXPECT_EQ(h.status.menus.back()[0].title, "Taps Active  (Super+Alt+T)");
    h.rest(3);
    EXPECT_EQ(h.said(), Lines{"[impact] force x1.50"}) << "the tap before arming never closes";

    int writes = h.defaults.writes;
    app.setArmed(true);
    EXPECT_EQ(h.defaults.writes, writes);
    EXPECT_EQ(h.status.menus.size(), menus + 1) << "rebuilt only on a change";
    for (const auto& item : app.menuContent())
        if (item.action == MenuAction::toggleActive || item.action == MenuAction::toggleAutoPause ||
            item.action == MenuAction::editModes)
            app.perform(item);
    EXPECT_EQ(std::tuple(h.settings().tapsActive(), h.settings().autoPause(), h.editorOpens),
              std::tuple(false, false, 1));
}

TEST(AppDelegate, AShortcutHeldByAnotherProgramIsReportedOnce) {
    for (auto [kind, lines] : {std::pair{HotKeyFailure::Kind::inUse, 1}, {HotKeyFailure::Kind::unavailable, 0}}) {
        AppHarness h;
        h.hotKeys.refuse = HotKeyFailure{kind, "refused"};
        h.make().launch();
        auto said = h.said();
        EXPECT_EQ(std::count(said.begin(), said.end(), "[info] The shortcut Super+Alt+T" + kInUse), lines);
    }
}

// Whatever the window reports, the level stored, applied and shown is 1 or 2.
TEST(AppDelegate, FirmnessFromTheCalibrationWindow) {
    // level, stored, threshold, marker, longest window
    const std::tuple<int, std::int64_t, double, double, double> cases[] = {
        {1, 1, 0.052, 0.38, 1.4}, {2, 2, 0.12, 0.6, 1.8}, {3, 2, 0.12, 0.6, 1.8}, {0, 1, 0.052, 0.38, 1.4}};
    for (const auto& [level, stored, threshold, marker, longestWindow] : cases) {
        SCOPED_TRACE(level);
        AppHarness h;
        auto& app = h.launch();
        app.showCalibration();
        auto& window = *h.calibration;
        size_t menus = h.status.menus.size();
        window.onFirmnessChange(level);
        EXPECT_EQ(h.status.menus.size(), menus + 1);
        EXPECT_EQ(h.defaults.values["firmness"], StoredValue(stored));
        EXPECT_EQ(window.firmness, stored);
        EXPECT_EQ(window.thresholdG, threshold);
        EXPECT_EQ(window.markerFraction, marker);
        EXPECT_EQ(app.longestGestureWindow(), longestWindow);
    }
}

TEST(AppDelegate, FiringCountFollowsTheModesThatCanDoSomething) {
    auto focus = [](std::int64_t count, std::string id) {
        SlapMode mode = modeWith(count, "F", {});
        mode.focusModeIdentifier = std::move(id);
        return mode;
    };
    const std::tuple<const char*, std::vector<SlapMode>, int> cases[] = {
        {"no mode with an action", {modeWith(1, "A", {}), modeWith(2, "B", {})}, 3},
        {"one and an empty two", {modeWith(1, "A", {"x"}), modeWith(2, "B", {})}, 1},
        {"two and one", {modeWith(2, "B", {"x"}), modeWith(1, "A", {"y"})}, 2},
        {"five taps", {modeWith(5, "E", {"x"})}, 3},
        {"a focus of one space counts", {focus(2, " ")}, 2},
        {"an empty focus does not", {focus(2, ""), modeWith(1, "A", {"x"})}, 1},
        {"negative count", {modeWith(-2, "N", {"x"})}, 1},
    };
    for (const auto& [what, modes, taps] : cases) {
        AppHarness h;
        h.storeModes(modes);
        h.launch();
        EXPECT_EQ(tapsUntilAGestureCloses(h), taps) << what;
    }

    AppHarness h; // while the user tests taps, every length is recognised
    h.storeModes({modeWith(1, "A", {"x"})});
    auto& app = h.launch();
    app.showCalibration();
    EXPECT_EQ(tapsUntilAGestureCloses(h), 3);
    h.calibration->close();
    h.rest(1.5);
    EXPECT_EQ(tapsUntilAGestureCloses(h), 1);

    // The editor works on the controller's own mode manager, and says when it changed it.
    app.sharedModeManager()->addOrUpdate(modeWith(2, "B", {"y"}));
    app.modesChanged();
    h.rest(1.5);
    EXPECT_EQ(tapsUntilAGestureCloses(h), 2);
}

// The Test Taps window is kept hidden between openings; each opening shows the settings as they are then, not
// as they were when it was built. While it is on screen it is not reset under the user.
TEST(AppDelegate, LaunchAppliesTheSettingsAndTheCalibrationWindowShowsThemAtEachOpeningAndWritesThem) {
    AppHarness h;
    h.defaults.values["firmness"] = std::int64_t(1);
    h.defaults.values["cooldownSeconds"] = 2.0;
    auto& app = h.launch();
    h.taps(1, 2.5);
    h.lines.clear();
    h.taps(1, 1.5);
    EXPECT_EQ(h.said().size(), 1u) << "1.5 s after the gesture, still in the 2 s cooldown: " << h.said().back();
    app.showCalibration();
    auto& window = *h.calibration;
    auto shown = [&window] {
        const auto& s = window.setup;
        return std::tuple(s.firmness, s.cooldown, s.hotkeyDisplay, s.autoPause, s.thresholdG, s.markerFraction);
    };
    EXPECT_EQ(shown(), std::tuple(1, 2.0, "Super+Alt+T", true, 0.052, 0.38));

    window.onCooldownChange(5.0);
    EXPECT_EQ(h.settings().cooldownSeconds(), 5.0);
    size_t menus = h.status.menus.size();
    window.onAutoPauseChange(false);
    EXPECT_FALSE(h.settings().autoPause());
    EXPECT_EQ(h.status.menus.size(), menus + 1);
    h.hotKeys.journal.clear();
    h.hotKeys.report({"Meta+Alt+T", std::nullopt}); // the desktop's name for the old binding goes with it
    window.onHotkeyChange(40, 0x0300, "⇧⌘K");
    EXPECT_EQ(h.hotKeys.journal, (Lines{"register 40/768", "unregister 1"})) << "the new one first, then the old goes";
    EXPECT_EQ(std::pair(h.settings().hotkeyKeyCode(), h.settings().hotkeyMods()), std::pair(40u, 768u));
    EXPECT_EQ(h.status.menus.back()[0].title, "Taps Paused  (Super+Shift+K)");

    window.close();
    h.rest(1);
    h.taps(1, 3.5);
    h.lines.clear();
    h.taps(1, 1.5);
    EXPECT_EQ(h.said().size(), 1u) << "2.5 s after the gesture, still in the 5 s cooldown: " << h.said().back();
    h.defaults.values["cooldownSeconds"] = 3.0; // written behind the controller's back
    app.showCalibration();
    EXPECT_EQ(h.calibration, &window) << "the same window, shown again";
    EXPECT_EQ(shown(), std::tuple(1, 3.0, "Super+Shift+K", false, 0.052, 0.38));
    window.journal.clear();
    app.showCalibration(); // on screen already
    EXPECT_FALSE(window.shows("refresh"));
}

TEST(AppDelegate, LiveDataReachesTheVisibleWindowAfterTheCallback) {
    AppHarness h;
    h.launch().showCalibration();
    h.rest(0.3);
    auto& window = *h.calibration;
    window.journal.clear();
    h.taps(1, 0.02);
    EXPECT_NEAR(window.level, 0.18, 0.001);
    h.rest(3);
    EXPECT_EQ(window.journal,
              (Lines{"running 1", "cooldown on", "refreshStatus", "detected 1", "cooldown off", "refreshStatus"}));

    window.close();
    window.journal.clear();
    window.level = 0;
    h.taps(1, 3);
    EXPECT_EQ(window.level, 0);
    EXPECT_EQ(window.journal, Lines{"detected 1"}) << "only the flash is queued while closed";
}

TEST(AppDelegate, OpenAtLogin) {
    AppHarness h;
    h.storeModes({});
    auto& app = h.launch();
    app.toggleOpenAtLogin();
    EXPECT_EQ(std::pair(h.login.current, h.status.menus.back()[6].checked), std::pair(LoginItemStatus::enabled, true));
    app.toggleOpenAtLogin();
    EXPECT_EQ(h.login.current, LoginItemStatus::notRegistered);

    h.login.failure = "Could not write /x/knokle.desktop: Permission denied";
    app.toggleOpenAtLogin();
    ASSERT_EQ(h.alerts.shown.size(), 1u);
    EXPECT_EQ(std::pair(h.alerts.shown[0].messageText, h.alerts.shown[0].informativeText),
              std::pair(std::string("Couldn't change the login item"), *h.login.failure));
    EXPECT_FALSE(h.status.menus.back()[6].checked);
}

TEST(AppDelegate, GestureDecisions) {
    SlapMode mixed = modeWith(2, "Mix", {"org.example.Notes"});
    mixed.openURLs = {"https://x.org/\"q\""};
    mixed.quitApps = {"b", "c"};
    const std::string noMode = "[info] 2-tap gesture, but no mode configured for that count.";
    // setup: "armed", "manual" (auto-pause off), "dry" (dry run), "testing" (calibration window open).
    // after: "armed" or "paused", "opened" when the mode ran, "rebuilt" when the menu was rebuilt.
    struct Case {
        const char* setup;
        std::vector<SlapMode> modes;
        Lines lines; // after the two impacts
        const char* after;
    } cases[] = {
        {"paused", {mixed}, {"[paused] 2-tap detected (taps are paused)"}, "paused"},
        {"armed testing", {mixed}, {"[test] 2-tap detected (actions suppressed while testing)"}, "armed"},
        {"armed", {modeWith(1, "One", {"x"}), modeWith(3, "Three", {"x"})}, {noMode}, "armed rebuilt"},
        // A mode that can do nothing is no mode: no firing line, and above all no auto-pause.
        {"armed", {modeWith(2, "", {})}, {noMode}, "armed rebuilt"},
        {"armed dry",
         {mixed},
         {R"([DRY RUN] 2-tap -> would run 'Mix' (opens: ["org.example.Notes", "https://x.org/\"q\""], )"
          R"(quits: ["b", "c"]))"},
         "armed rebuilt"},
        {"armed",
         {mixed},
         {"[FIRE] 2-tap -> running 'Mix'", "[auto-pause] taps paused after firing"},
         "paused opened rebuilt"},
        {"armed manual", {mixed}, {"[FIRE] 2-tap -> running 'Mix'"}, "armed opened rebuilt"},
    };
    for (const auto& c : cases) {
        std::string setup = c.setup, after = c.after;
        auto has = [](const std::string& words, const char* word) { return words.find(word) != std::string::npos; };
        SCOPED_TRACE(setup + " -> " + after);
        AppHarness h;
        h.env.workspace.install("org.example.Notes");
        h.defaults.values["tapsActive"] = has(setup, "armed");
        h.defaults.values["autoPause"] = !has(setup, "manual");
        if (has(setup, "dry")) h.environment["KNOKLE_DRYRUN"] = "1";
        h.storeModes(c.modes);
        auto& app = h.launch();
        if (has(setup, "testing")) app.showCalibration();
        h.rest(0.3);
        size_t menus = h.status.menus.size();
        h.taps(2);
        Lines said; // without what running the mode reports
        for (const auto& line : h.said())
            if (line.rfind("[ModeManager]", 0) != 0) said.push_back(line);
        ASSERT_EQ(said.size(), 2 + c.lines.size());
        EXPECT_EQ(Lines(said.begin() + 2, said.end()), c.lines);
        EXPECT_EQ(h.settings().tapsActive(), has(after, "armed"));
        EXPECT_EQ(h.env.workspace.openedLocations().size(), has(after, "opened") ? 1u : 0u);
        EXPECT_EQ(h.status.menus.size(), menus + (has(after, "rebuilt") ? 1 : 0));
    }
}

// Missing or unreadable, the sensor is explained at each launch, and the first calibration waits for one that works.
TEST(AppDelegate, ASensorThatCannotBeUsedIsExplainedAndPostponesOnboarding) {
    FixedAccess unreadable;
    unreadable.problem = SensorAccessProblem{"/dev/hidraw3", "Permission denied", std::nullopt, std::nullopt};
    for (bool missing : {true, false}) {
        AppHarness h;
        if (missing)
            h.hid.devices.emplace();
        else
            h.sensorAccess = &unreadable;
        h.defaults.values.erase("didOnboard");
        h.alerts.answer = missing ? 0 : 1; // "Quit Knokle", "Leave Running"
        auto& app = h.launch();
        ASSERT_EQ(h.alerts.shown.size(), 1u);
        EXPECT_EQ(h.alerts.shown[0].messageText,
                  missing ? "This computer has no motion sensor" : "Knokle can't read the motion sensor");
        EXPECT_EQ(h.terminated, missing ? 1 : 0);
        EXPECT_FALSE(h.defaults.values.count("didOnboard"));
        EXPECT_EQ(h.status.menus.back().size() == 3, missing) << "only a missing sensor reduces the menu";
        if (!missing) { // left running: the menu says what is wrong and where the fix is
            const auto& menu = h.status.menus.back();
            ASSERT_GE(menu.size(), 3u);
            EXPECT_EQ(std::tuple(menu[0].title, menu[0].enabled, menu[1].enabled, menu[2].separator),
                      std::tuple("Cannot read the motion sensor (/dev/hidraw3)", false, false, true));
            EXPECT_NE(menu[1].title.find("udev rule"), std::string::npos);
        }
        app.reopen();
        EXPECT_EQ(h.alerts.shown.size(), 2u);
        EXPECT_FALSE(h.calibration);
    }
}

TEST(AppDelegate, OnboardingWritesTheFlagBeforeOpeningTheWindowOnceAndReopeningShowsIt) {
    FixedAccess readable;
    AppHarness h;
    h.sensorAccess = &readable;
    h.defaults.values.erase("didOnboard");
    h.launch();
    ASSERT_TRUE(h.calibration);
    EXPECT_TRUE(h.didOnboardWhenWindowMade);
    EXPECT_TRUE(h.calibration->visible);
    EXPECT_TRUE(h.alerts.shown.empty());

    AppHarness again; // didOnboard already true
    auto& app = again.launch();
    EXPECT_FALSE(again.calibration);
    app.reopen();
    ASSERT_TRUE(again.calibration);
    EXPECT_TRUE(again.calibration->visible);
}

TEST(AppDelegate, AModeChosenFromTheMenuRunsWhateverTheState) {
    AppHarness h;
    h.env.workspace.install("org.example.Notes");
    h.storeModes({modeWith(2, "Write", {"org.example.Notes"})});
    auto& app = h.launch();
    size_t menus = h.status.menus.size();
    for (const auto& item : app.menuContent())
        if (item.action == MenuAction::testMode) app.perform(item);
    h.env.loop.runPending();
    EXPECT_EQ(h.env.workspace.openedLocations(), Lines{"/apps/org.example.Notes.desktop"});
    EXPECT_FALSE(h.settings().tapsActive());
    EXPECT_EQ(h.status.menus.size(), menus);
}

TEST(AppDelegate, NothingRunsOnceTheControllerIsGone) {
    AppHarness h;
    h.defaults.values["tapsActive"] = true;
    h.storeModes({modeWith(3, "Three", {"x"})});
    h.launch();
    h.taps(1, 0.01); // the icon restore and the counter's window are pending
    h.app.reset();
    h.status.icons.clear();
    h.env.loop.advance(5.0);
    EXPECT_TRUE(h.status.icons.empty());
    EXPECT_EQ(h.said().size(), 1u);
}

TEST(AppDelegate, TheShortcutStepsAsideWhileTheRecorderListens) {
    AppHarness h;
    h.launch().showCalibration();
    auto& window = *h.calibration;
    h.hotKeys.journal.clear();
    window.onRecordingChange(true);
    EXPECT_TRUE(h.hotKeys.registered.empty()) << "the recorder must see the current combination";
    window.onRecordingChange(false);
    EXPECT_EQ(h.hotKeys.journal, (Lines{"unregister 1", "register 17/2304"}));

    // Taken by another program while listening.
    window.onRecordingChange(true);
    h.hotKeys.refuse = HotKeyFailure{HotKeyFailure::Kind::inUse, "in use"};
    h.lines.clear();
    window.onRecordingChange(false);
    EXPECT_EQ(h.said(), Lines{"[info] The shortcut Super+Alt+T" + kInUse});
}

// What a desktop that binds the shortcut itself reports, twice over: what the menu, the Test Taps window and
// the output show then.
TEST(AppDelegate, WhatTheDesktopReportsOfItsShortcutIsShown) {
    const std::string unavailable = "[info] The shortcut is unavailable in this session (no portal)" + kInstead;
    const std::string notBound =
        "[info] The desktop did not bind the shortcut Super+Alt+T (dialog cancelled)" + kInstead;
    const HotKeyBinding bound{"Meta+Alt+T", std::nullopt};
    const HotKeyBinding noPortal{std::nullopt, HotKeyFailure{HotKeyFailure::Kind::notInSession, "no portal"}};
    const HotKeyBinding cancelled{std::nullopt, HotKeyFailure{HotKeyFailure::Kind::unavailable, "dialog cancelled"}};
    const std::tuple<const char*, std::vector<HotKeyBinding>, std::string, Lines> cases[] = {
        {"bound", {bound, bound}, "Meta+Alt+T", {}},
        {"no shortcuts in the session, said once", {noPortal, noPortal}, "shortcut unavailable", {unavailable}},
        {"bound after all", {noPortal, bound}, "Meta+Alt+T", {unavailable}},
        {"refused: the stored one is shown", {bound, cancelled}, "Super+Alt+T", {notBound}},
    };
    for (const auto& [name, reports, shown, lines] : cases) {
        SCOPED_TRACE(name);
        AppHarness h;
        h.launch().showCalibration();
        auto menus = h.status.menus.size();
        for (const auto& report : reports)
            h.hotKeys.report(report);
        EXPECT_EQ(h.status.menus.size(), menus + reports.size()) << "the menu is rebuilt at each report";
        EXPECT_EQ(h.status.menus.back()[0].title, "Taps Paused  (" + shown + ")");
        EXPECT_EQ(h.calibration->journal.back(), "shortcut " + shown);
        EXPECT_EQ(h.said(), lines);
    }
}

TEST(AppDelegate, NoDesktopWideClicksIsSaidOnceAndNotedInTheMenu) {
    for (bool offered : {true, false}) {
        AppHarness h;
        if (!offered) h.buttons.why = "no clicks here";
        h.make().launch();
        EXPECT_EQ(std::ranges::count(h.said(), "[info] The click veto is off in this session: no clicks here."),
                  offered ? 0 : 1);
        auto menu = h.app->menuContent();
        auto note = std::ranges::find(menu, std::string("Click veto off in this session"), &MenuItem::title);
        EXPECT_EQ(note != menu.end() && !note->enabled, !offered);
    }
}
