#include "VirtualLoop.h"
#include "WidgetTesting.h"
#include "widgets/AccentButton.h"
#include "widgets/CardView.h"
#include "widgets/HotkeyRecorder.h"
#include "widgets/SlidingSegmented.h"
#include "widgets/ThemedSwitch.h"

#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QVariantAnimation>
#include <gtest/gtest.h>

using namespace knokle;
using test::near;
using test::rgbOf;

namespace {

struct CalibrationWindow : testing::Test {
    void SetUp() override { test::ensureWidgetsApplication(); }

    // Heavy, a one-second cooldown under auto-pause, unless another is asked for.
    std::unique_ptr<CalibrationWindowController> make(double cooldown = 1) {
        auto controller = std::make_unique<CalibrationWindowController>(loop);
        controller->screenHeight = [](QWidget*) { return std::optional<double>(); }; // tall enough for all of it
        controller->apply(
            {.cooldown = cooldown, .hotkeyDisplay = "Super+Alt+T", .thresholdG = 0.12, .markerFraction = 0.6});
        controller->buildUI();
        controller->onFirmnessChange = [this](int level) { said.push_back("firmness " + std::to_string(level)); };
        controller->onCooldownChange = [this](double s) { said.push_back("cooldown " + std::to_string(int(s))); };
        controller->onAutoPauseChange = [this](bool on) { said.push_back(on ? "auto-pause on" : "auto-pause off"); };
        controller->onClose = [this] { said.push_back("closed"); };
        return controller;
    }

    test::VirtualLoop loop;
    std::vector<std::string> said;
};

} // namespace

TEST_F(CalibrationWindow, MeterShowsPeaksFadesOnlyWhileVisibleAndFlashes) {
    auto c = make();
    c->setDisplayLevel(0.12 * 1.5); // 18 of 20 blocks
    QImage drawn = test::grabbed(c->window());
    EXPECT_TRUE(near(drawn.pixel(test::meterBlockCentre(*c, 0)), rgbOf(Palette::neon)));
    EXPECT_TRUE(near(drawn.pixel(test::meterBlockCentre(*c, 19)), rgbOf(Palette::well)));

    loop.advance(1);
    EXPECT_EQ(c->displayLevel(), 0.18) << "hidden: no fading";

    c->present();
    EXPECT_TRUE(c->meter()->isFading());
    loop.advance(1.0 / 60);
    EXPECT_NEAR(c->displayLevel(), 0.108, 1e-12);
    c->flashDetected(2);
    c->setDisplayLevel(0.12);
    drawn = test::grabbed(c->window());
    EXPECT_TRUE(near(drawn.pixel(test::meterBlockCentre(*c, 11)), rgbOf(Palette::good)));
    loop.advance(0.25);
    EXPECT_FALSE(c->meter()->isFlashing());
    loop.advance(0.5); // faded out, and past the status line's own clearing
    EXPECT_EQ(c->displayLevel(), 0);
    EXPECT_FALSE(c->meter()->isFading()) << "at rest: no timer";

    // A level below the first block fades without repaints: every repaint blurs the card's shadow again.
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint;
            return false;
        }
    } counter;
    c->setDisplayLevel(0.004);
    QCoreApplication::processEvents();
    c->meter()->installEventFilter(&counter);
    for (int frame = 0; frame < 4; ++frame) {
        loop.advance(1.0 / 60);
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(counter.paints, 0);
    EXPECT_TRUE(c->meter()->isFading());
    loop.advance(1.0 / 60);
    EXPECT_FALSE(c->meter()->isFading());

    c->setDisplayLevel(0.12);
    c->window()->hide();
    EXPECT_FALSE(c->meter()->isFading());
}

TEST_F(CalibrationWindow, StatusLineFollowsTheCounter) {
    auto c = make();
    EXPECT_EQ(c->statusLabel->text(), "Waiting for a tap");
    EXPECT_EQ(c->statusLabel->palette().color(QPalette::WindowText).rgb(), rgbOf(Palette::textFaint));
    c->setOnCooldown(true);
    c->flashDetected(1);
    EXPECT_EQ(c->statusLabel->text(), "Detected   1 Tap");
    loop.advance(0.6);
    EXPECT_EQ(c->statusLabel->text(), "On cooldown");
    EXPECT_EQ(c->statusLabel->palette().color(QPalette::WindowText).rgb(), rgbOf(Palette::bad))
        << "changed by the model's own timer";
}

TEST_F(CalibrationWindow, FirmnessChoiceReportsAndTheMeterFollowsWhatTookEffect) {
    auto c = make();
    QImage heavyIcon = c->firmIcon->pixmap().toImage();
    test::click(c->firmnessControl, {10, 10});
    EXPECT_EQ(said, std::vector<std::string>{"firmness 1"});
    EXPECT_EQ(c->meter()->model().markerFraction, 0.6) << "the marker waits for the controller";
    c->showFirmness(1, 0.052, 0.38);
    EXPECT_EQ(c->meter()->model().markerFraction, 0.38);
    EXPECT_EQ(c->meter()->model().thresholdG, 0.052);
    EXPECT_EQ(c->firmDesc->text(), "Easiest to trigger. A gentle but deliberate fingertip tap.");
    EXPECT_NE(c->firmIcon->pixmap().toImage(), heavyIcon);
}

TEST_F(CalibrationWindow, AutoPauseUnlocksTheCooldownChoice) {
    auto c = make(4); // not offered: "1s" shows, the value stays
    EXPECT_EQ(c->cooldownControl->selectedIndex(), 0);
    EXPECT_EQ(c->cooldownControl->opacity(), 0.35);
    test::click(c->cooldownControl, {c->cooldownControl->width() - 5.0, 10});
    EXPECT_TRUE(said.empty()) << "locked while auto-pause is on";

    test::click(c->autoPauseSwitch, {5, 5});
    EXPECT_EQ(said, std::vector<std::string>{"auto-pause off"});
    EXPECT_TRUE(c->cooldownControl->isEnabledLike);
    c->cooldownControl->findChildren<QVariantAnimation*>()[1]->setCurrentTime(250);
    EXPECT_EQ(c->cooldownControl->opacity(), 1.0);
    test::click(c->cooldownControl, {c->cooldownControl->width() - 5.0, 10});
    EXPECT_EQ(said.back(), "cooldown 5");
    EXPECT_TRUE(c->cooldownDesc->text().contains("for 5s")) << c->cooldownDesc->text().toStdString();
    test::click(c->autoPauseSwitch, {5, 5});
    EXPECT_EQ(said.back(), "auto-pause on");
    EXPECT_TRUE(c->cooldownDesc->text().startsWith("Recommended."));
}

TEST_F(CalibrationWindow, DoneConfirmsClosesAndReopeningResetsTheFooter) {
    auto c = make();
    c->present();
    c->doneTapped();
    EXPECT_EQ(c->footerHint->text(), "Saved ✓");
    loop.advance(0.45);
    EXPECT_FALSE(c->isVisible());
    EXPECT_EQ(said, std::vector<std::string>{"closed"}) << "reported once it is gone";
    c->resetFooter();
    c->present();
    EXPECT_EQ(c->footerHint->text(), "Changes save automatically");
}

// On a 1366 × 768 screen the window fits the available height and its cards scroll, with Done in view; on a
// tall screen it is as tall as its content, and shrinks when a text gets shorter. Cards use 452 of the width,
// the meter and the segmented controls 412.
TEST_F(CalibrationWindow, FitsTheScreenScrollsItsCardsAndShrinksWithItsContent) {
    auto build = [this](double screen, bool autoPause) {
        auto c = std::make_unique<CalibrationWindowController>(loop);
        c->screenHeight = [screen](QWidget*) { return std::optional<double>(screen); };
        c->apply({.cooldown = 1,
                  .hotkeyDisplay = "Super+Alt+T",
                  .autoPause = autoPause,
                  .thresholdG = 0.12,
                  .markerFraction = 0.6});
        c->buildUI();
        test::grabbed(c->window());
        return c;
    };
    auto tall = build(1600, true);
    const int natural = tall->window()->height();
    EXPECT_EQ(tall->window()->width(), 512);
    for (auto* card : tall->window()->findChildren<CardView*>())
        EXPECT_EQ(card->width(), 452);
    EXPECT_EQ(tall->meter()->width(), 412);
    EXPECT_EQ(tall->firmnessControl->width(), 412);
    EXPECT_EQ(tall->window()->findChild<QScrollArea*>()->verticalScrollBar()->maximum(), 0) << "all of it fits";

    auto laptop = build(768 - 32, true); // a panel of 32 takes the rest
    EXPECT_GT(natural, 768 - 32 - 70) << "the test needs a window taller than the screen";
    EXPECT_LE(laptop->window()->height(), 768 - 32 - 70);
    auto* done = laptop->window()->findChild<AccentButton*>();
    ASSERT_TRUE(done);
    QRect doneBox(done->mapTo(laptop->window(), QPoint(0, 0)), done->size());
    EXPECT_TRUE(laptop->window()->rect().contains(doneBox)) << "Done stays on screen";
    auto* bar = laptop->window()->findChild<QScrollArea*>()->verticalScrollBar();
    EXPECT_GT(bar->maximum(), 0) << "the cards scroll";
    bar->setValue(bar->maximum());
    QRect recorderBox(laptop->recorder->mapTo(laptop->window(), QPoint(0, 0)), laptop->recorder->size());
    EXPECT_TRUE(laptop->window()->rect().contains(recorderBox)) << "the last card is reached by scrolling";
    // The themed bar: its handle is drawn in the border colour, not the light default.
    QImage image = test::grabbed(laptop->window());
    QPoint handle = bar->mapTo(laptop->window(), QPoint(bar->width() / 2, bar->height() - 20));
    EXPECT_EQ(image.pixel(handle), rgbOf(Palette::border));

    // Turning auto-pause off changes the cooldown text; the window keeps the height of its content.
    test::click(tall->autoPauseSwitch, {5, 5});
    auto fresh = build(1600, false);
    EXPECT_EQ(tall->window()->height(), fresh->window()->height());
}

// Reopened after the menu changed a setting, the window shows the setting as it is now.
TEST_F(CalibrationWindow, RefreshShowsTheSettingsOfNow) {
    auto c = make();
    EXPECT_TRUE(c->autoPauseSwitch->isOn());
    c->refresh({.firmness = 1,
                .cooldown = 5,
                .hotkeyDisplay = "Ctrl+Shift+K",
                .autoPause = false,
                .thresholdG = 0.05,
                .markerFraction = 0.38});
    EXPECT_FALSE(c->autoPauseSwitch->isOn());
    EXPECT_EQ(c->firmnessControl->selectedIndex(), 0);
    EXPECT_EQ(c->cooldownControl->selectedIndex(), c->model().cooldownIndex());
    EXPECT_TRUE(c->cooldownControl->isEnabledLike);
    EXPECT_EQ(c->recorder->label(), "Ctrl+Shift+K");
    EXPECT_EQ(c->meter()->model().markerFraction, 0.38);
    test::click(c->autoPauseSwitch, {5, 5});
    EXPECT_EQ(said, std::vector<std::string>{"auto-pause on"}) << "the new controls report as the old ones did";
}
