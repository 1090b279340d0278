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
    EXPECT_EQ(model.cooldownText().rfind("Recommended. Taps pause the moment a mode fires", 0), 0u);
    EXPECT_FALSE(model.cooldownChoiceEnabled());
    EXPECT_EQ(model.cooldownChoiceOpacity(), 0.35);

    model.setAutoPause(false);
    model.chooseCooldown(1);
    EXPECT_EQ(model.cooldown, 2.0);
    EXPECT_EQ(model.cooldownText(),
              "Taps stay armed but ignore repeats for 2s after a mode runs, so one burst can't fire it twice.");
    EXPECT_TRUE(model.cooldownChoiceEnabled());
    EXPECT_EQ(model.cooldownChoiceOpacity(), 1.0);
    for (auto [seconds, index] : {std::pair{1.0, 0}, {2.0, 1}, {3.0, 2}, {5.0, 3}, {4.0, 0}, {0.5, 0}}) {
        model.cooldown = seconds;
        EXPECT_EQ(model.cooldownIndex(), index) << seconds;
    }
    EXPECT_EQ(model.cooldown, 0.5) << "the stored value stays until the user picks another";
    EXPECT_EQ(CalibrationModel::cooldownLabel(2.9), "2s");

    model.chooseFirmness(0);
    EXPECT_EQ(std::tuple(model.firmness, std::string(model.firmnessSymbol()), model.firmnessTint()),
              std::tuple(1, "wind", Palette::neon));
    EXPECT_EQ(model.firmnessDescription(), "Easiest to trigger. A gentle but deliberate fingertip tap.");
    model.chooseFirmness(1);
    EXPECT_EQ(std::tuple(model.firmness, std::string(model.firmnessSymbol()), model.firmnessTint()),
              std::tuple(2, "mountain.2.fill", Palette::bad));
    EXPECT_EQ(model.firmnessDescription(), "Needs a firmer fingertip tap. Fewer accidental fires.");
}
