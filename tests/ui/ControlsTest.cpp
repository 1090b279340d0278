#include "WidgetTesting.h"
#include "widgets/AccentButton.h"
#include "widgets/CardView.h"
#include "widgets/SlidingSegmented.h"
#include "widgets/Theme.h"
#include "widgets/ThemedSwitch.h"
#include "widgets/ThemedTextField.h"

#include <QSignalSpy>
#include <QVariantAnimation>
#include <gtest/gtest.h>

using namespace knokle;
using test::near;
using test::rgbOf;

namespace {

struct Controls : testing::Test {
    void SetUp() override { test::ensureWidgetsApplication(); }
};

// Runs a control's animation to its end at once.
void finish(QObject* owner, int index = 0) {
    auto animations = owner->findChildren<QVariantAnimation*>();
    ASSERT_LT(index, animations.size());
    animations[index]->setCurrentTime(animations[index]->duration());
}

} // namespace

TEST_F(Controls, SwitchFlipsSlidesAndSignalsOnlyTheUsersFlips) {
    ThemedSwitch toggle;
    QSignalSpy switched(&toggle, &ThemedSwitch::switched);
    test::click(&toggle, {5, 5});
    EXPECT_TRUE(toggle.isOn());
    EXPECT_EQ(switched.count(), 1);
    EXPECT_EQ(toggle.knobFrame().x, 3) << "slides rather than jumps";
    finish(&toggle);
    EXPECT_EQ(toggle.knobFrame(), (Rect{23, 4, 16, 16}));

    EXPECT_TRUE(near(test::grabbed(&toggle).pixel(12, 12), rgbOf(Palette::neonFill))) << "track when on";

    test::click(&toggle, {5, 5}, Qt::RightButton);
    EXPECT_TRUE(toggle.isOn()) << "only the main button flips it";
    toggle.setOn(false);
    EXPECT_EQ(toggle.knobFrame().x, 3) << "set without animation";
    EXPECT_EQ(switched.count(), 1) << "setting is not a user's flip";
    EXPECT_TRUE(near(test::grabbed(&toggle).pixel(30, 12), rgbOf(Palette::well)));
}

TEST_F(Controls, SegmentedClicksSlideThePillAndReportOnlyChanges) {
    SlidingSegmented picker({"1 Tap", "2 Taps", "3 Taps"}, 0);
    picker.resize(300, 34);
    std::vector<int> changes;
    picker.onChange = [&](int index) { changes.push_back(index); };

    test::click(&picker, {50, 10});
    EXPECT_TRUE(changes.empty()) << "the selected segment again";
    test::click(&picker, {299.9, 10});
    EXPECT_EQ(changes, std::vector<int>{2}) << "the far right edge is the last segment";
    EXPECT_EQ(picker.pillFrame(), picker.restingPillFrame(0)) << "slides rather than jumps";
    finish(&picker);
    EXPECT_EQ(picker.pillFrame(), picker.restingPillFrame(2));
    EXPECT_EQ(picker.labelColour(2), Palette::text);
    EXPECT_EQ(picker.labelColour(0), Palette::textDim);
    QImage drawn = test::grabbed(&picker);
    EXPECT_TRUE(near(drawn.pixel(210, 6), rgbOf(Palette::neonFill))) << "pill";
    EXPECT_TRUE(near(drawn.pixel(10, 6), rgbOf(Palette::well))) << "well";

    picker.isEnabledLike = false;
    test::click(&picker, {150, 10});
    EXPECT_EQ(picker.selectedIndex(), 2) << "clicks are ignored while it looks disabled";
    EXPECT_EQ(changes.size(), 1u);
}

TEST_F(Controls, SymbolsAreTintedAndUnknownNamesGiveNothing) {
    EXPECT_TRUE(Theme::symbolImage("no.such.symbol", Palette::good).isNull());
    QImage symbol = Theme::symbolImage("minus.circle.fill", Palette::bad).toImage();
    ASSERT_EQ(symbol.size(), QSize(18, 18));
    int tinted = 0;
    for (int y = 0; y < 18; ++y)
        for (int x = 0; x < 18; ++x)
            tinted += symbol.pixelColor(x, y).alpha() == 255 && near(symbol.pixel(x, y), rgbOf(Palette::bad), 3);
    EXPECT_GT(tinted, 100) << "a filled circle";
}

TEST_F(Controls, ButtonFieldAndCardFills) {
    AccentButton done("Done");
    done.resize(done.sizeHint());
    EXPECT_TRUE(near(test::grabbed(&done).pixel(8, 15), rgbOf(Palette::neonFill)));
    ThemedTextField field("example.org", "https://…");
    field.resize(410, field.sizeHint().height());
    EXPECT_TRUE(near(test::grabbed(&field).pixel(200, 15), rgbOf(Palette::field)));
    CardView card;
    card.resize(200, 100);
    EXPECT_TRUE(near(test::grabbed(&card).pixel(100, 50), rgbOf(Palette::card)));
}
