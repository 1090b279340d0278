#include "viewmodels/MeterModel.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

MeterModel meter(double threshold, double fraction, double level) {
    MeterModel m;
    m.thresholdG = threshold;
    m.markerFraction = fraction;
    m.displayLevel = level;
    return m;
}

} // namespace

TEST(MeterModel, LitAndMarkerBlocks) {
    const std::tuple<double, double, double, int, int> cases[] = {
        {0.12, 0.6, 0.12, 12, 12},  {0.12, 0.6, 0.11, 11, 12},   {0.12, 0.6, 0.105, 11, 12}, // 10.5 rounds up
        {0.12, 0.6, 0.3, 20, 12},   {0.12, 0.6, 0, 0, 12},       {0.12, 0.6, 0.004, 0, 12},
        {0.052, 0.38, 0.052, 8, 8}, {0.052, 0.38, 0.137, 20, 8}, {0, 0.6, 0.5, 0, 12},
    };
    for (const auto& [threshold, fraction, level, lit, marker] : cases) {
        auto m = meter(threshold, fraction, level);
        EXPECT_EQ(m.litBlocks(), lit) << threshold << " at " << level;
        EXPECT_EQ(m.markerBlock(), marker) << fraction;
    }
}

TEST(MeterModel, BlockColours) {
    auto m = meter(0.12, 0.6, 0.12 * 1.5); // 18 lit, marker 12
    auto blocks = m.blocks(412, 44, false);
    EXPECT_EQ(blocks[0].colour, Palette::neon);
    EXPECT_EQ(blocks[6].colour, mix(Palette::neon, Palette::warm, 0.5));
    EXPECT_EQ(blocks[12].colour, Palette::warm);
    EXPECT_EQ(blocks[17].colour, mix(Palette::warm, Palette::bad, 5.0 / 8));
    EXPECT_EQ(blocks[18].colour, Palette::well);

    auto flashing = m.blocks(412, 44, true);
    for (int i = 0; i < 18; ++i)
        EXPECT_EQ(flashing[size_t(i)].colour, Palette::good) << i;
    EXPECT_EQ(flashing[18].colour, Palette::well);

    // At rest: the blocks before the marker at half opacity, the rest full.
    auto resting = meter(0.12, 0.38, 0).blocks(412, 44, true);
    for (int i = 0; i < MeterModel::kBlocks; ++i)
        EXPECT_EQ(resting[size_t(i)].colour, i < 8 ? Palette::well.withAlpha(0.5) : Palette::well) << i;
}

TEST(MeterModel, GeometryFillsTheWidthAndCentresTheMarkerInItsGap) {
    auto m = meter(0.12, 0.6, 0);
    auto blocks = m.blocks(412, 44, false);
    EXPECT_DOUBLE_EQ(blocks[0].frame.width, 16.8);
    EXPECT_DOUBLE_EQ(blocks[1].frame.x, 20.8);
    // The lower edge 3 above the bottom: 4 below the middle.
    EXPECT_DOUBLE_EQ(blocks[7].frame.y, 11);
    EXPECT_DOUBLE_EQ(blocks[7].frame.height, 30);

    Rect marker = m.marker(412, 44);
    EXPECT_DOUBLE_EQ(marker.x + marker.width / 2, blocks[12].frame.x - 2) << "in the middle of the 4-point gap";
    EXPECT_DOUBLE_EQ(marker.bottom(), blocks[0].frame.bottom() + 7);
    EXPECT_DOUBLE_EQ(marker.height, 44);
}

TEST(MeterModel, RaisingOnlyGoesUpAndDecayFadesToZero) {
    MeterModel m;
    m.raise(0.2);
    m.raise(0.1);
    EXPECT_EQ(m.displayLevel, 0.2);
    int frames = 0;
    while (m.decay())
        ++frames;
    EXPECT_EQ(m.displayLevel, 0);
    EXPECT_EQ(frames, 11) << "0.2 × 0.6^12 is below 0.0005";
}
