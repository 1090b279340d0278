#include "sensing/SyntheticMotion.h"
#include "VirtualLoop.h"
#include "sensing/EventLog.h"
#include "sensing/SlapCounter.h"
#include "sensing/SlapDetector.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace knokle;

namespace {

double deviation(const MotionSample& s) {
    return std::sqrt(s.x * s.x + s.y * s.y + (s.z + 1) * (s.z + 1));
}

TEST(SyntheticMotion, RestIsGravityWithSmallRepeatableNoise) {
    SyntheticMotion a(1000, 42, 0.002, 5.0), b(1000, 42, 0.002, 5.0), c(1000, 43, 0.002, 5.0);
    a.rest(1);
    b.rest(1);
    c.rest(1);
    ASSERT_EQ(a.samples().size(), 1000u);
    double largest = 0;
    bool sameAsB = true, sameAsC = true;
    for (size_t i = 0; i < a.samples().size(); ++i) {
        const MotionSample& s = a.samples()[i];
        EXPECT_DOUBLE_EQ(s.t, 5.0 + static_cast<double>(i) / 1000);
        largest = std::max({largest, std::abs(s.x), std::abs(s.y), std::abs(s.z + 1)});
        sameAsB = sameAsB && s.x == b.samples()[i].x && s.z == b.samples()[i].z;
        sameAsC = sameAsC && s.x == c.samples()[i].x;
    }
    EXPECT_LE(largest, 0.002);
    EXPECT_GT(largest, 0.001); // there is noise at all
    EXPECT_TRUE(sameAsB);
    EXPECT_FALSE(sameAsC);
}

TEST(SyntheticMotion, TapHasItsPeakDurationRiseAndDirection) {
    SyntheticMotion motion(2000, 1, 0);
    motion.rest(0.01).tap({.peak = 0.12, .duration = 0.010, .rise = 0.003, .verticalShare = 0.6}).rest(0.01);
    const auto& s = motion.samples();
    ASSERT_EQ(s.size(), 20u + 20u + 20u); // 10 ms at 2 kHz each
    EXPECT_EQ(deviation(s[19]), 0);
    EXPECT_NEAR(deviation(s[20]), 0.072, 1e-12); // starts at 60 % of the peak
    EXPECT_NEAR(deviation(s[26]), 0.12, 1e-12);  // peak after 3 ms
    EXPECT_NEAR(std::abs(s[26].z + 1), 0.072, 1e-12);
    EXPECT_NEAR(deviation(s[39]), 0.072, 1e-12);
    EXPECT_EQ(deviation(s[40]), 0);
    for (int i = 20; i < 40; ++i)
        EXPECT_LE(deviation(s[static_cast<size_t>(i)]), 0.12 + 1e-12);
}

// What the shipped demo recordings are made of: one-, two- and three-tap gestures at a human pace.
TEST(SyntheticMotion, DemoGesturesAreCountedAtBothLevels) {
    const TapShape tap{.peak = 0.15, .duration = 0.008, .rise = 0.002, .verticalShare = 0.9};
    for (int level : {1, 2}) {
        SCOPED_TRACE(level);
        SyntheticMotion motion(1000, 11, 0.0015, 700000000.0);
        motion.rest(1).tap(tap).rest(2.5);
        motion.taps(2, 0.32, tap).rest(2.5);
        motion.taps(3, 0.27, tap).rest(2.5);

        test::VirtualLoop loop;
        EventLog off("/nonexistent/knokle-test.log", false);
        SlapDetector detector;
        detector.setEventLog(off);
        detector.level = level;
        SlapCounter counter(loop);
        std::vector<double> impactTimes;
        std::vector<int> gestures;
        double sampleTime = 0;
        detector.onImpact = [&](double force) {
            EXPECT_GT(force, 0.05 / detector.levelThreshold());
            impactTimes.push_back(sampleTime);
            counter.registerImpact();
        };
        counter.onCountChanged = [&](int) { detector.sequenceActive = true; };
        counter.onGesture = [&](int n) {
            detector.sequenceActive = false;
            gestures.push_back(n);
        };
        double start = motion.samples().front().t;
        for (const auto& s : motion.samples()) {
            loop.advance(s.t - start - loop.elapsed());
            sampleTime = s.t - start;
            detector.ingest(s.x, s.y, s.z, s.t);
        }
        loop.advance(3);

        EXPECT_EQ(gestures, (std::vector<int>{1, 2, 3}));
        // Each impact is reported when its tap ends, 8 ms after it began.
        std::vector<double> tapStarts{1.0, 3.508, 3.828, 6.336, 6.606, 6.876};
        ASSERT_EQ(impactTimes.size(), tapStarts.size());
        for (size_t i = 0; i < tapStarts.size(); ++i)
            EXPECT_NEAR(impactTimes[i], tapStarts[i] + 0.008, 1e-6);
    }
}

} // namespace
