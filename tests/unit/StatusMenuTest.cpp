#include "viewmodels/StatusMenu.h"

#include <gtest/gtest.h>

using namespace knokle;
using Lines = std::vector<std::string>;

namespace {

Uuid uuid(std::uint8_t n) {
    Uuid id;
    id.bytes[15] = n;
    return id;
}

MenuInputs defaults() {
    MenuInputs in;
    in.hotkeyDisplay = "⌥⌘T";
    in.loginItemChangeable = true;
    return in;
}

// One line per item: its text, then its action, key and whatever is not the usual.
Lines described(const std::vector<MenuItem>& menu) {
    static const char* const actions[] = {"none", "active", "autoPause", "mode", "cal", "editModes", "login", "quit", "mic"};
    Lines out;
    for (const auto& m : menu)
        out.push_back(m.separator ? "---"
                                  : m.displayText() + " | " + actions[int(m.action)] + " " + m.keyEquivalent +
                                        (m.checked ? " checked" : "") + (m.enabled ? "" : " disabled") +
                                        (m.targetsController ? "" : " app"));
    return out;
}

} // namespace

TEST(StatusMenu, PausedOrArmedWithoutModes) {
    EXPECT_EQ(described(populate(defaults())),
              (Lines{"Taps Paused  (⌥⌘T) | active ", "Auto-pause after each tap | autoPause  checked", "---", "---",
                     "Test Taps | cal t", "Edit Modes | editModes e", "Open at Login | login ", "---",
                     "Quit Knokle | quit q app"}));
    MenuInputs in = defaults();
    in.tapsActive = true;
    in.autoPause = false;
    in.hotkeyDisplay = "⇧⌘K";
    auto menu = described(populate(in));
    EXPECT_EQ(Lines(menu.begin(), menu.begin() + 2),
              (Lines{"Taps Active  (⇧⌘K) | active  checked", "Auto-pause after each tap | autoPause "}));
}

TEST(StatusMenu, ModeRowsAreSortedStablyWithDotsAndTrimmedNames) {
    MenuInputs in = defaults();
    in.modes = {{uuid(3), "Three", 3}, {uuid(1), "  Work  ", 1},   {uuid(2), "Two", 2}, {uuid(4), "   ", 1},
                {uuid(5), "Five", 5},  {uuid(6), "\u2003Em\t", 2}, {uuid(7), "", -2},   {uuid(8), "Line\n", 0}};
    auto menu = populate(in);
    Lines rows;
    for (const auto& item : menu)
        if (item.action == MenuAction::testMode)
            rows.push_back(item.attributedTitle[0].text + "|" + item.attributedTitle[1].text);
    EXPECT_EQ(rows, (Lines{"○○○|   Untitled", "○○○|   Line\n", "●○○|   Work", "●○○|   Untitled", "●●○|   Two",
                           "●●○|   Em", "●●●|   Three", "●●●●●|   Five"}));
    const MenuItem& work = menu[5];
    EXPECT_EQ(described({work}), Lines{"●○○   Work | mode "});
    EXPECT_EQ(work.representedObject, uuid(1));
    EXPECT_EQ(work.attributedTitle[0], (TextRun{"●○○", -4.5, 1.0, 1.5}));
    EXPECT_LT(tapCountDots(std::numeric_limits<std::int64_t>::max()).size(), 200u) << "huge counts stay bounded";
}

TEST(StatusMenu, OpenAtLoginStatesAndEnabling) {
    const std::tuple<LoginItemStatus, bool, std::string> cases[] = {
        {LoginItemStatus::enabled, true, "Open at Login | login  checked"},
        {LoginItemStatus::requiresApproval, true, "Open at Login — approve in System Settings | login  checked"},
        {LoginItemStatus::notRegistered, true, "Open at Login | login "},
        {LoginItemStatus::enabled, false, "Open at Login | login  checked disabled"},
    };
    for (const auto& [status, changeable, line] : cases) {
        MenuInputs in = defaults();
        in.loginItemStatus = status;
        in.loginItemChangeable = changeable;
        EXPECT_EQ(described(populate(in))[6], line);
    }
}

TEST(StatusMenu, NoSensorMenuIgnoresEverythingElse) {
    MenuInputs in = defaults();
    in.sensorMissing = true;
    in.tapsActive = true;
    in.modes = {{uuid(1), "One", 1}};
    EXPECT_EQ(described(populate(in)),
              (Lines{"No motion sensor on this computer | none  disabled app", "---", "Quit Knokle | quit q app"}));
}
