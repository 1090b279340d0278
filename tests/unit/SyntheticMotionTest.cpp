#include "sensing/SyntheticMotion.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace knokle;

// What the disturbances look like to the detector is pinned by its verdict streams; this pins the stream that
// recordings made from the generator depend on.
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
