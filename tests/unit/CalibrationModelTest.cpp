#include "viewmodels/CalibrationModel.h"
#include "VirtualLoop.h"

#include <gtest/gtest.h>

using namespace knokle;

TEST(CalibrationModel, StatusLineRulesAndTheRunningCount) {
    test::VirtualLoop loop;
    CalibrationModel model(loop);
    const std::tuple<bool, bool, int, StyledText> cases[] = {
        {true, false, 1, {"Detected   1 Tap", Palette::good}},
        {true, true, 2, {"Detected   2 Taps", Palette::good}},
        {true, false, 0, {"Detected   0 Taps", Palette::good}},
        {false, true, 3, {"On cooldown", Palette::bad}},
        {false, false, 3, {"Waiting for a tap", Palette::textDim}},
    };
    for (const auto& [detecting, cooldown, count, line] : cases) {
        model.showingDetection = detecting;
        model.onCooldown = cooldown;
        model.lastCount = count;
        model.refreshStatus();
        EXPECT_EQ(model.status(), line);
    }
    for (auto [count, text] : {std::pair{-1, "○○○"}, {1, "●○○"}, {2, "●●○"}, {3, "●●●"}, {5, "●●●"}}) {
        model.showingDetection = false;
        model.showRunning(count);
        EXPECT_EQ(model.status(), (StyledText{text, Palette::text}));
        EXPECT_TRUE(model.showingDetection);
    }
}

TEST(CalibrationModel, DetectionClearsAfterSixTenthsAndARepeatRestartsTheDelay) {
    test::VirtualLoop loop;
    CalibrationModel model(loop);
    int changes = 0;
    model.onStatusChange = [&] { ++changes; };
    model.flashDetected(1);
    model.onCooldown = true;
    loop.advance(0.5);
    model.flashDetected(2);
    loop.advance(0.5);
    EXPECT_EQ(model.status().text, "Detected   2 Taps") << "the second detection restarted the 0.6 s";
    loop.advance(0.11);
    EXPECT_EQ(model.status(), (StyledText{"On cooldown", Palette::bad}));
    EXPECT_EQ(changes, 3);

    // A running count cancels a pending clear and stays until a gesture closes.
    model.onCooldown = false;
    model.flashDetected(1);
    model.showRunning(1);
    loop.advance(2);
    EXPECT_EQ(model.status().text, "●○○");
    model.flashDetected(3);
    loop.advance(0.6);
    EXPECT_EQ(model.status(), (StyledText{"Waiting for a tap", Palette::textDim}));
}

TEST(CalibrationModel, DoneConfirmsThenClosesAndTheFooterResets) {
    test::VirtualLoop loop;
    auto model = std::make_unique<CalibrationModel>(loop);
    int closes = 0;
    model->onClose = [&] { ++closes; };
    model->done();
    EXPECT_EQ(model->footer(), (StyledText{"Saved ✓", Palette::good}));
    loop.advance(0.44);
    EXPECT_EQ(closes, 0);
    loop.advance(0.01);
    EXPECT_EQ(closes, 1);
    model->resetFooter();
    EXPECT_EQ(model->footer(), (StyledText{"Changes save automatically", Palette::textFaint}));

    // Gone before the delays end: nothing runs.
    model->done();
    model->flashDetected(1);
    model.reset();
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
    loop.advance(1);
    EXPECT_EQ(closes, 1);
}

TEST(CalibrationModel, CooldownAndFirmnessChoices) {
    test::VirtualLoop loop;
    CalibrationModel model(loop);
    EXPECT_EQ(CalibrationModel::cooldownLabels(), (std::vector<std::string>{"1s", "2s", "3s", "5s"}));
    EXPECT_EQ(CalibrationModel::firmnessLabels(), (std::vector<std::string>{"Light", "Heavy"}));
    // With auto-pause on, the cooldown is not offered.
    EXPECT_TRUE(model.cooldownText().starts_with("Recommended. Taps pause the moment a mode fires"));
    EXPECT_EQ(std::pair(model.cooldownChoiceEnabled(), model.cooldownChoiceOpacity()), std::pair(false, 0.35));
    model.setAutoPause(false);
    model.chooseCooldown(1);
    EXPECT_EQ(model.cooldown, 2.0);
    EXPECT_TRUE(model.cooldownText().starts_with("Taps stay armed but ignore repeats for 2s after"))
        << model.cooldownText();
    EXPECT_EQ(std::pair(model.cooldownChoiceEnabled(), model.cooldownChoiceOpacity()), std::pair(true, 1.0));
    for (auto [seconds, index] : {std::pair{1.0, 0}, {2.0, 1}, {3.0, 2}, {5.0, 3}, {4.0, 0}, {0.5, 0}}) {
        model.cooldown = seconds;
        EXPECT_EQ(model.cooldownIndex(), index) << seconds;
    }
    EXPECT_EQ(model.cooldown, 0.5) << "the stored value stays until the user picks another";
    EXPECT_EQ(CalibrationModel::cooldownLabel(2.9), "2s");

    const std::tuple<int, int, std::string, Colour, std::string> firmness[] = {
        {0, 1, "wind", Palette::neon, "Easiest to trigger."},
        {1, 2, "mountain.2.fill", Palette::bad, "Needs a firmer"}};
    for (const auto& [choice, level, symbol, tint, description] : firmness) {
        model.chooseFirmness(choice);
        EXPECT_EQ(std::tuple(model.firmness, std::string(model.firmnessSymbol()), model.firmnessTint()),
                  std::tuple(level, symbol, tint));
        EXPECT_TRUE(model.firmnessDescription().starts_with(description)) << choice;
    }
}
