#include "shell/StatusMenu.h"

#include <gtest/gtest.h>

using namespace knokle;

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

std::vector<std::string> texts(const std::vector<MenuItem>& menu) {
    std::vector<std::string> out;
    for (const auto& item : menu)
        out.push_back(item.separator ? "---" : item.displayText());
    return out;
}

} // namespace

TEST(StatusMenu, NoModes) {
    auto menu = populate(defaults());
    EXPECT_EQ(texts(menu),
              (std::vector<std::string>{"Taps Paused  (⌥⌘T)", "Auto-pause after each tap", "---", "---", "Test Taps",
                                        "Edit Modes", "Open at Login", "---", "Quit Knokle"}));
    EXPECT_EQ(menu[0].action, MenuAction::toggleActive);
    EXPECT_FALSE(menu[0].checked);
    EXPECT_TRUE(menu[1].checked);
    EXPECT_EQ(menu[4].keyEquivalent, "t");
    EXPECT_EQ(menu[4].action, MenuAction::showCalibration);
    EXPECT_EQ(menu[5].keyEquivalent, "e");
    EXPECT_EQ(menu[5].action, MenuAction::editModes);
    EXPECT_EQ(menu[8].action, MenuAction::quit);
    EXPECT_EQ(menu[8].keyEquivalent, "q");
    EXPECT_FALSE(menu[8].targetsController);
    EXPECT_TRUE(menu[0].targetsController);
}

TEST(StatusMenu, ArmedStateShowsTheHotKeyAndTheSwitches) {
    MenuInputs in = defaults();
    in.tapsActive = true;
    in.autoPause = false;
    in.hotkeyDisplay = "⇧⌘K";
    auto menu = populate(in);
    EXPECT_EQ(menu[0].title, "Taps Active  (⇧⌘K)");
    EXPECT_TRUE(menu[0].checked);
    EXPECT_FALSE(menu[1].checked);
}

TEST(StatusMenu, ModeRowsAreSortedStablyWithDotsAndTrimmedNames) {
    MenuInputs in = defaults();
    in.modes = {{uuid(3), "Three", 3}, {uuid(1), "  Work  ", 1},   {uuid(2), "Two", 2}, {uuid(4), "   ", 1},
                {uuid(5), "Five", 5},  {uuid(6), "\u2003Em\t", 2}, {uuid(7), "", -2},   {uuid(8), "Line\n", 0}};
    auto menu = populate(in);
    std::vector<std::string> rows;
    for (const auto& item : menu)
        if (item.action == MenuAction::testMode)
            rows.push_back(item.attributedTitle[0].text + "|" + item.attributedTitle[1].text);
    EXPECT_EQ(rows, (std::vector<std::string>{"○○○|   Untitled", "○○○|   Line\n", "●○○|   Work", "●○○|   Untitled",
                                              "●●○|   Two", "●●○|   Em", "●●●|   Three", "●●●●●|   Five"}));
    const MenuItem& work = menu[5];
    ASSERT_EQ(work.attributedTitle.size(), 2u);
    EXPECT_EQ(work.title, "");
    EXPECT_EQ(work.representedObject, uuid(1));
    EXPECT_EQ(work.attributedTitle[0], (TextRun{"●○○", -4.5, 1.0, 1.5}));
    EXPECT_EQ(work.attributedTitle[1], (TextRun{"   Work", 0, 0, 0}));
    EXPECT_FALSE(work.checked);
    EXPECT_TRUE(work.keyEquivalent.empty());
}

TEST(StatusMenu, HugeCountsStayBounded) {
    EXPECT_EQ(tapCountDots(3), "●●●");
    EXPECT_EQ(tapCountDots(-1000), "○○○");
    EXPECT_LT(tapCountDots(std::numeric_limits<std::int64_t>::max()).size(), 200u);
}

TEST(StatusMenu, OpenAtLoginStatesAndEnabling) {
    struct Case {
        LoginItemStatus status;
        bool changeable;
        std::string title;
        bool checked;
    } cases[] = {
        {LoginItemStatus::enabled, true, "Open at Login", true},
        {LoginItemStatus::requiresApproval, true, "Open at Login — approve in System Settings", true},
        {LoginItemStatus::notRegistered, true, "Open at Login", false},
        {LoginItemStatus::notFound, true, "Open at Login", false},
        {LoginItemStatus::enabled, false, "Open at Login", true},
    };
    for (const auto& c : cases) {
        MenuInputs in = defaults();
        in.loginItemStatus = c.status;
        in.loginItemChangeable = c.changeable;
        auto menu = populate(in);
        const MenuItem& login = menu[6];
        EXPECT_EQ(login.action, MenuAction::toggleOpenAtLogin);
        EXPECT_EQ(login.title, c.title);
        EXPECT_EQ(login.checked, c.checked);
        EXPECT_EQ(login.enabled, c.changeable);
    }
}

TEST(StatusMenu, NoSensorMenuIgnoresEverythingElse) {
    MenuInputs in = defaults();
    in.sensorMissing = true;
    in.tapsActive = true;
    in.modes = {{uuid(1), "One", 1}};
    auto menu = populate(in);
    EXPECT_EQ(texts(menu), (std::vector<std::string>{"No motion sensor on this computer", "---", "Quit Knokle"}));
    EXPECT_FALSE(menu[0].enabled);
    EXPECT_EQ(menu[0].action, MenuAction::none);
    EXPECT_EQ(menu[2].action, MenuAction::quit);
    EXPECT_EQ(menu[2].keyEquivalent, "q");
}
