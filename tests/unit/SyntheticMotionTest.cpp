#include "sensing/SyntheticMotion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using namespace knokle;

namespace {

// Deviation from rest (gravity at -1 g on z).
double deviation(const MotionSample& s) {
    return std::sqrt(s.x * s.x + s.y * s.y + (s.z + 1) * (s.z + 1));
}

} // namespace

TEST(SyntheticMotion, RestIsGravityWithSmallNoiseThatTheSeedRepeats) {
    SyntheticMotion a(1000, 42, 0.002, 5.0), b(1000, 42, 0.002, 5.0), c(1000, 43, 0.002, 5.0);
    a.rest(1), b.rest(1), c.rest(1);
    ASSERT_EQ(a.samples().size(), 1000u);
    double largest = 0;
    for (const MotionSample& s : a.samples())
        largest = std::max({largest, std::abs(s.x), std::abs(s.y), std::abs(s.z + 1)});
    EXPECT_LE(largest, 0.002);
    EXPECT_GT(largest, 0.0019);
    EXPECT_DOUBLE_EQ(a.samples()[999].t, 5.999);
    EXPECT_EQ(a.samples()[999].z, b.samples()[999].z);
    EXPECT_NE(a.samples()[999].z, c.samples()[999].z);
}

TEST(SyntheticMotion, DisturbancesHaveTheirShapes) {
    const TapShape tap{.peak = 0.12, .duration = 0.010, .rise = 0.003, .verticalShare = 0.6};
    struct Case {
        const char* name;
        std::function<void(SyntheticMotion&)> make;
        size_t samples;
        size_t peakAt;
        double peak;
        double zAtPeak;      // |z deviation| at the peak
        double smallest;     // smallest deviation of the disturbance
        size_t longestQuiet; // longest run below 0.045 g
    };
    const Case cases[] = {
        // From 60 % of the peak to the peak over the rise, back to 60 % at the end.
        {"tap", [&](auto& m) { m.tap(tap); }, 10, 3, 0.12, 0.072, 0.072, 0},
        {"sideways knock", [](auto& m) { m.sidewaysKnock(0.15); }, 8, 2, 0.15, 0.045, 0.09, 0},
        {"slow push", [](auto& m) { m.slowPush(0.15, 0.04); }, 80, 39, 0.15, 0.15, 0.15 / 40, 12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SyntheticMotion motion(1000, 1, 0);
        c.make(motion);
        const auto& s = motion.samples();
        ASSERT_EQ(s.size(), c.samples);
        size_t peakAt = 0, quiet = 0, longestQuiet = 0;
        double smallest = 1;
        for (size_t i = 0; i < s.size(); ++i) {
            if (deviation(s[i]) > deviation(s[peakAt]) + 1e-12) peakAt = i;
            smallest = std::min(smallest, deviation(s[i]));
            quiet = deviation(s[i]) < 0.045 ? quiet + 1 : 0;
            longestQuiet = std::max(longestQuiet, quiet);
        }
        EXPECT_EQ(peakAt, c.peakAt);
        EXPECT_NEAR(deviation(s[peakAt]), c.peak, 1e-3);
        EXPECT_NEAR(std::abs(s[peakAt].z + 1), c.zAtPeak, 1e-3);
        EXPECT_NEAR(smallest, c.smallest, 1e-3);
        EXPECT_EQ(longestQuiet, c.longestQuiet);
    }
}
