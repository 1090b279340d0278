#include "sensing/SlapCounter.h"
#include "VirtualLoop.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

using namespace knokle;

namespace {

// Records every callback as "count N", "cooldown on/off" or "gesture N", with the virtual time it came at.
class CounterTest : public testing::Test {
protected:
    test::VirtualLoop loop;
    SlapCounter counter{loop};
    std::vector<std::string> calls;
    std::vector<double> gestureTimes;

    void SetUp() override {
        counter.onCountChanged = [this](int n) { calls.push_back("count " + std::to_string(n)); };
        counter.onCooldownChanged = [this](bool on) { calls.push_back(on ? "cooldown on" : "cooldown off"); };
        counter.onGesture = [this](int n) {
            calls.push_back("gesture " + std::to_string(n));
            gestureTimes.push_back(loop.elapsed());
        };
    }

    // Taps at the given offsets (seconds from the start), then lets every timer run out.
    void tapAt(const std::vector<double>& offsets) {
        for (double at : offsets) {
            loop.advance(at - loop.elapsed());
            counter.registerImpact();
        }
    }
};

using Calls = std::vector<std::string>;

TEST_F(CounterTest, ThirdTapWithinTheRhythmWindowClosesAtOnce) {
    tapAt({0, 0.3, 0.9});
    EXPECT_EQ(calls, (Calls{"count 1", "count 2", "count 3", "cooldown on", "gesture 3"}));
    EXPECT_DOUBLE_EQ(gestureTimes.at(0), 0.9);
    loop.advance(1.0);
    EXPECT_EQ(calls.back(), "cooldown off");
}

TEST_F(CounterTest, GestureWindowAdaptsToTheRhythm) {
    struct Case {
        double interval; // between the first two taps
        double window;   // after the second tap
    };
    for (const Case& c : {Case{0.3, 0.66}, Case{0.1, 0.25}, Case{0.5, 1.1}, Case{0.8, 1.6}}) {
        SCOPED_TRACE(c.interval);
        test::VirtualLoop local;
        SlapCounter counter(local);
        std::vector<double> closed;
        counter.onGesture = [&](int n) {
            EXPECT_EQ(n, 2);
            closed.push_back(local.elapsed());
        };
        counter.registerImpact();
        local.advance(c.interval);
        counter.registerImpact();
        local.advance(c.window - 0.001);
        EXPECT_TRUE(closed.empty());
        local.advance(0.002);
        ASSERT_EQ(closed.size(), 1u);
        EXPECT_NEAR(closed[0], c.interval + c.window, 1e-6);
    }
}

TEST_F(CounterTest, SingleTapClosesAfterTheInitialWindow) {
    tapAt({0});
    loop.advance(1.199);
    EXPECT_EQ(calls, Calls{"count 1"});
    loop.advance(0.001);
    EXPECT_EQ(calls, (Calls{"count 1", "cooldown on", "gesture 1"}));
    EXPECT_DOUBLE_EQ(gestureTimes.at(0), 1.2);
}

TEST_F(CounterTest, FirstTapAfterAGestureGetsTheInitialWindow) {
    counter.cooldown = 0;
    tapAt({0, 0.1});
    loop.advance(0.25);
    ASSERT_EQ(gestureTimes.size(), 1u);
    // Right after the gesture: the rhythm of the last one must not shorten the new window.
    counter.registerImpact();
    double opened = loop.elapsed();
    loop.advance(1.19);
    EXPECT_EQ(gestureTimes.size(), 1u);
    loop.advance(0.02);
    ASSERT_EQ(gestureTimes.size(), 2u);
    EXPECT_NEAR(gestureTimes[1] - opened, 1.2, 1e-9);
}

TEST_F(CounterTest, FireAtCountClosesEarly) {
    struct Case {
        int fireAt;
        std::vector<double> taps;
        Calls expected;
    };
    for (const Case& c : {Case{1, {0}, {"count 1", "cooldown on", "gesture 1"}},
                          Case{2, {0, 0.3}, {"count 1", "count 2", "cooldown on", "gesture 2"}},
                          // The third tap falls in the cooldown: a count of 3 is never reached.
                          Case{2, {0, 0.3, 0.6}, {"count 1", "count 2", "cooldown on", "gesture 2"}}}) {
        SCOPED_TRACE(c.fireAt);
        calls.clear();
        counter.reset();
        counter.fireAtCount = c.fireAt;
        double start = loop.elapsed();
        for (double at : c.taps) {
            loop.advance(start + at - loop.elapsed());
            counter.registerImpact();
        }
        EXPECT_EQ(calls, c.expected);
        EXPECT_EQ(counter.currentCount(), 0);
        loop.advance(5);
    }
}

TEST_F(CounterTest, ImpactsDuringTheCooldownAreIgnoredAndDoNotExtendIt) {
    counter.fireAtCount = 1;
    tapAt({0, 0.5, 0.999});
    EXPECT_EQ(calls, (Calls{"count 1", "cooldown on", "gesture 1"}));
    // The cooldown ends 1.0 s after the gesture, not after the ignored impacts; an impact at that very
    // moment counts.
    loop.advance(1.0 - loop.elapsed());
    EXPECT_EQ(calls.back(), "cooldown off");
    counter.registerImpact();
    EXPECT_EQ(calls,
              (Calls{"count 1", "cooldown on", "gesture 1", "cooldown off", "count 1", "cooldown on", "gesture 1"}));
}

TEST_F(CounterTest, ZeroCooldownLetsTheNextImpactCount) {
    counter.fireAtCount = 1;
    counter.cooldown = 0;
    counter.registerImpact();
    counter.registerImpact();
    EXPECT_EQ(gestureTimes.size(), 2u);
}

TEST_F(CounterTest, ResetDuringTheWindowDropsTheGesture) {
    tapAt({0, 0.3});
    counter.reset();
    loop.advance(5);
    EXPECT_EQ(calls, (Calls{"count 1", "count 2"}));
    EXPECT_EQ(counter.currentCount(), 0);
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
}

TEST_F(CounterTest, ResetDuringTheCooldownEndsItSilently) {
    counter.fireAtCount = 1;
    tapAt({0, 0.2});
    counter.reset();
    counter.registerImpact(); // counted at once
    loop.advance(0.5);
    counter.reset();
    loop.advance(5);
    EXPECT_EQ(calls, (Calls{"count 1", "cooldown on", "gesture 1", "count 1", "cooldown on", "gesture 1"}));
}

TEST(SlapCounter, TimersOutlivingTheCounterDoNothing) {
    test::VirtualLoop loop;
    int callbacks = 0;
    {
        SlapCounter counter(loop);
        counter.onGesture = [&](int) { ++callbacks; };
        counter.onCooldownChanged = [&](bool) { ++callbacks; };
        counter.registerImpact(); // gesture timer pending
    }
    {
        SlapCounter counter(loop);
        counter.fireAtCount = 1;
        counter.registerImpact(); // cooldown timer pending
        counter.onCooldownChanged = [&](bool) { ++callbacks; };
    }
    loop.advance(10);
    EXPECT_EQ(callbacks, 0);
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
}

} // namespace
