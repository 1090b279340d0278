#include "sensing/SlapCounter.h"
#include "VirtualLoop.h"

#include <cmath>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace knokle;

namespace {

struct Step {
    long at; // milliseconds from the start
    bool reset = false;
};

struct Case {
    const char* name;
    std::vector<Step> steps; // taps, unless marked as a reset
    std::string calls;       // every callback with the millisecond it came at, once all timers ran out
    int fireAt = 3;
    double cooldown = 1.0;
};

TEST(SlapCounter, GesturesCooldownsAndResets) {
    // clang-format off
    const Case cases[] = {
        {"third tap within the rhythm window closes at once", {{0}, {300}, {900}},
         "count 1 @0, count 2 @300, count 3 @900, cooldown on @900, gesture 3 @900, cooldown off @1900"},
        {"a lone tap closes after the initial window", {{0}},
         "count 1 @0, cooldown on @1200, gesture 1 @1200, cooldown off @2200"},
        // Two taps this far apart: the window after the second is 2.2 times that, kept between 0.25 and 1.6 s.
        {"0.3 s", {{0}, {300}}, "count 1 @0, count 2 @300, cooldown on @960, gesture 2 @960, cooldown off @1960"},
        {"0.1 s", {{0}, {100}}, "count 1 @0, count 2 @100, cooldown on @350, gesture 2 @350, cooldown off @1350"},
        {"0.8 s", {{0}, {800}}, "count 1 @0, count 2 @800, cooldown on @2400, gesture 2 @2400, cooldown off @3400"},
        {"first tap after a gesture gets the initial window", {{0}, {100}, {350}},
         "count 1 @0, count 2 @100, cooldown on @350, gesture 2 @350, cooldown off @350, count 1 @350, "
         "cooldown on @1550, gesture 1 @1550, cooldown off @1550", 3, 0},
        {"fire at 2", {{0}, {300}, {600}},
         "count 1 @0, count 2 @300, cooldown on @300, gesture 2 @300, cooldown off @1300", 2},
        // Ignored impacts do not extend the cooldown; one at the very moment it ends counts.
        {"impacts in the cooldown", {{0}, {500}, {999}, {1000}},
         "count 1 @0, cooldown on @0, gesture 1 @0, cooldown off @1000, count 1 @1000, cooldown on @1000, "
         "gesture 1 @1000, cooldown off @2000", 1},
        {"zero cooldown", {{0}, {0}},
         "count 1 @0, cooldown on @0, gesture 1 @0, cooldown off @0, count 1 @0, cooldown on @0, gesture 1 @0, "
         "cooldown off @0", 1, 0},
        // The next tap opens a fresh gesture, which the dropped one's timer must not cut short.
        {"reset in the window drops the gesture", {{0}, {300}, {300, true}, {500}},
         "count 1 @0, count 2 @300, count 1 @500, cooldown on @1700, gesture 1 @1700, cooldown off @2700"},
        // The next impact counts at once, and the cut-short cooldown never reports its end.
        {"reset in the cooldown", {{0}, {200}, {200, true}, {200}, {700, true}},
         "count 1 @0, cooldown on @0, gesture 1 @0, count 1 @200, cooldown on @200, gesture 1 @200", 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        test::VirtualLoop loop;
        SlapCounter counter(loop);
        counter.fireAtCount = c.fireAt;
        counter.cooldown = c.cooldown;
        std::string calls;
        auto note = [&](const std::string& what) {
            calls += (calls.empty() ? "" : ", ") + what + " @" + std::to_string(std::lround(loop.elapsed() * 1000));
        };
        counter.onCountChanged = [&](int n) { note("count " + std::to_string(n)); };
        counter.onCooldownChanged = [&](bool on) { note(on ? "cooldown on" : "cooldown off"); };
        counter.onGesture = [&](int n) { note("gesture " + std::to_string(n)); };
        for (const Step& step : c.steps) {
            // Whole milliseconds, so that time never drifts a nanosecond short of a timer.
            loop.advance(static_cast<double>(step.at - std::lround(loop.elapsed() * 1000)) / 1000);
            step.reset ? counter.reset() : counter.registerImpact();
        }
        loop.advance(10);
        EXPECT_EQ(calls, c.calls) << c.name;
        EXPECT_EQ(counter.currentCount(), 0) << c.name;
    }
}

TEST(SlapCounter, TimersOutlivingTheCounterDoNothing) {
    test::VirtualLoop loop;
    int callbacks = 0;
    for (int fireAt : {3, 1}) { // a gesture timer, then a cooldown timer, left pending
        SlapCounter counter(loop);
        counter.fireAtCount = fireAt;
        counter.registerImpact();
        counter.onGesture = [&](int) { ++callbacks; };
        counter.onCooldownChanged = [&](bool) { ++callbacks; };
    }
    loop.advance(10);
    EXPECT_EQ(callbacks, 0);
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
}

} // namespace
