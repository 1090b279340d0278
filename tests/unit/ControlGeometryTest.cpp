#include "viewmodels/ControlGeometry.h"
#include "viewmodels/Palette.h"
#include "viewmodels/Symbols.h"

#include <gtest/gtest.h>

using namespace knokle;
namespace G = ControlGeometry;

TEST(Palette, MixIsClampedAndOpaque) {
    Colour from = Palette::bg.withAlpha(0.2), to = Palette::text.withAlpha(0.4);
    EXPECT_EQ(mix(from, to, -1), Palette::bg);
    EXPECT_EQ(mix(from, to, 2), Palette::text);
    Colour half = mix(from, to, 0.5);
    EXPECT_NEAR(half.red, 128.5 / 255, 1e-12);
    EXPECT_NEAR(half.green, 130.5 / 255, 1e-12);
    EXPECT_NEAR(half.blue, 136.5 / 255, 1e-12);
    EXPECT_EQ(half.alpha, 1);
}

TEST(Symbols, LookUpIsExact) {
    EXPECT_EQ(symbolGlyph("waveform"), std::optional<char32_t>(0xF430));
    EXPECT_EQ(symbolGlyph("app.generic"), std::optional<char32_t>(0xF614));
    for (const char* unknown : {"no.such.symbol", "", "Waveform"})
        EXPECT_EQ(symbolGlyph(unknown), std::nullopt) << unknown;
}

TEST(ControlGeometry, SwitchTrackAndKnob) {
    Rect bounds{0, 0, 42, 24};
    EXPECT_EQ(G::switchTrack(bounds), (Rect{1, 2, 40, 20}));
    EXPECT_EQ(G::switchKnob(bounds, false), (Rect{3, 4, 16, 16}));
    // A taller switch keeps the insets: the knob grows with the track.
    EXPECT_EQ(G::switchKnob({0, 0, 60, 30}, true), (Rect{1 + 58 - 22 - 2, 4, 22, 22}));
}

TEST(ControlGeometry, SegmentedSelectionPillsAndClicks) {
    const std::tuple<int, int, int> selections[] = {{7, 3, 2}, {-2, 3, 0}, {1, 3, 1}, {4, 0, 0}, {0, 1, 0}};
    for (const auto& [selected, count, shown] : selections)
        EXPECT_EQ(G::clampedSelection(selected, count), shown) << selected << " of " << count;

    EXPECT_EQ(G::pillFrame(300, 34, 3, 0), (Rect{3, 3, 94, 28}));
    EXPECT_EQ(G::pillFrame(300, 34, 3, 2), (Rect{203, 3, 94, 28}));
    EXPECT_EQ(G::segmentLabelFrame(300, 34, 3, 1, 16), (Rect{100, 9, 100, 16}));

    const std::pair<double, int> clicks[] = {{0, 0},      {99.9, 0}, {100, 1}, {250, 2},
                                             {299.99, 2}, {300, 2},  {340, 2}, {-5, 0}};
    for (const auto& [x, segment] : clicks)
        EXPECT_EQ(G::segmentAt(x, 300, 3), segment) << "x " << x;
}

TEST(ControlGeometry, FieldRecorderAndButton) {
    EXPECT_EQ(G::fieldTextRect({0, 0, 410, 30}), (Rect{9, 6, 392, 18}));
    EXPECT_EQ(G::recorderOutline({0, 0, 130, 30}), (Rect{1, 1, 128, 28}));
    // Centred across, one point below the middle down.
    EXPECT_EQ(G::recorderTextFrame({0, 0, 130, 30}, 40, 16), (Rect{45, 8, 40, 16}));
    EXPECT_EQ(G::buttonWidth(30), 84);
    EXPECT_EQ(G::buttonWidth(60.2), 93);
}
