#include "AppDelegateHarness.h"

#include <gtest/gtest.h>

namespace knokle::test {
namespace {

std::string armItem(AppDelegate& app) {
    for (const auto& item : app.menuContent())
        if (item.action == MenuAction::toggleActive) return item.title;
    return "";
}

const std::string kUnavailable = "[info] The shortcut is unavailable in this session (no portal); arm and pause taps "
                                 "from the menu instead.";
const std::string kNotBound = "[info] The desktop did not bind the shortcut Super+Alt+T (dialog cancelled); arm and pause "
                              "taps from the menu instead.";

// What a desktop that binds the shortcut itself reports, twice over: what the menu, the Test Taps window and
// the output show then.
TEST(SessionShortcut, WhatTheDesktopReportsIsShown) {
    const HotKeyBinding bound{"Meta+Alt+T", std::nullopt};
    const HotKeyBinding noPortal{std::nullopt, HotKeyFailure{HotKeyFailure::Kind::notInSession, "no portal"}};
    const HotKeyBinding cancelled{std::nullopt, HotKeyFailure{HotKeyFailure::Kind::unavailable, "dialog cancelled"}};
    const struct {
        const char* name;
        std::vector<HotKeyBinding> reports;
        std::string shown;
        std::vector<std::string> lines;
    } cases[] = {
        {"bound", {bound, bound}, "Meta+Alt+T", {}},
        {"no shortcuts in the session, said once", {noPortal, noPortal}, "shortcut unavailable", {kUnavailable}},
        {"bound after all", {noPortal, bound}, "Meta+Alt+T", {kUnavailable}},
        {"refused: the stored one is shown", {bound, cancelled}, "Super+Alt+T", {kNotBound}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        AppHarness h;
        auto& app = h.launch();
        app.showCalibration();
        auto menus = h.status.menus.size();
        for (const auto& report : c.reports)
            h.hotKeys.report(report);
        EXPECT_EQ(armItem(app), "Taps Paused  (" + c.shown + ")");
        EXPECT_EQ(h.status.menus.size(), menus + c.reports.size()) << "the menu is rebuilt at each report";
        EXPECT_EQ(h.calibration->journal.back(), "shortcut " + c.shown);
        EXPECT_EQ(h.said(), c.lines);
    }
}

TEST(SessionShortcut, NoDesktopWideClicksIsSaidOnceAndNotedInTheMenu) {
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

} // namespace
} // namespace knokle::test
