#include "sensing/RecordingTimeLoop.h"
#include "sensing/SlapCounter.h"
#include "VirtualLoop.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>

using namespace knokle;

namespace {

// Milliseconds since the loops were made, on the recording's clock.
long at(const RecordingTimeLoop& loop, MonotonicTime start) {
    return std::lround(Seconds(loop.now() - start).count() * 1000);
}

} // namespace

TEST(RecordingTimeLoop, AStalledMachineGroupsARecordingsTapsAsTheRecordingDoes) {
    test::VirtualLoop real;
    RecordingTimeLoop loop(real, 6);
    const MonotonicTime start = loop.now();
    SlapCounter counter(loop);
    std::string log;
    counter.onGesture = [&](int n) { log += "gesture " + std::to_string(n) + " @" + std::to_string(at(loop, start)); };

    // Before the recording plays, time runs six times as fast as the real clock.
    real.advance(0.1);
    EXPECT_EQ(at(loop, start), 600);
    loop.reach(0); // the recording's first moment is now
    counter.registerImpact();
    // The machine stalls for a second: the recording's time stands, so the gesture stays open.
    real.advance(1.0);
    EXPECT_EQ(at(loop, start), 600);
    loop.reach(0.3);
    counter.registerImpact(); // the window after a 0.3 s gap is 0.66 s
    loop.reach(0.9);
    EXPECT_EQ(log, "");
    loop.reach(1.0); // the window ended at 0.96, before what was recorded at 1.0
    EXPECT_EQ(log, "gesture 2 @1560");
    EXPECT_EQ(at(loop, start), 1600);

    // Once the recording ended, time runs on from there at its speed: the cooldown (1 s) ends 0.96 s of recording
    // after it, 0.16 s of real time.
    bool cooledDown = false;
    counter.onCooldownChanged = [&](bool on) { cooledDown = !on; };
    loop.release();
    real.advance(0.15);
    EXPECT_FALSE(cooledDown);
    real.advance(0.02);
    EXPECT_TRUE(cooledDown);
    loop.reach(5); // a late report after the end moves nothing
    EXPECT_NEAR(at(loop, start), 1600 + 170 * 6, 1);
}

TEST(RecordingTimeLoop, RepeatingAndCancelledTimersWhileTheRecordingHoldsTime) {
    test::VirtualLoop real;
    RecordingTimeLoop loop(real, 2);
    loop.reach(0);
    int ticks = 0, cancelledRuns = 0, immediate = 0;
    TimerHandle ticking = loop.every(Seconds(0.1), [&] { ++ticks; });
    TimerHandle cancelled = loop.after(Seconds(0.05), [&] { ++cancelledRuns; });
    loop.after(Seconds(0), [&] { ++immediate; });
    cancelled.cancel();
    real.advance(10); // real time alone moves nothing but what was due already
    EXPECT_EQ(ticks, 0);
    EXPECT_EQ(immediate, 1);
    loop.reach(0.35);
    EXPECT_EQ(ticks, 3);
    ticking.cancel();
    loop.reach(1);
    EXPECT_EQ(ticks, 3);
    EXPECT_EQ(cancelledRuns, 0);
}
