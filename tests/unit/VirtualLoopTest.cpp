#include "VirtualLoop.h"

#include <gtest/gtest.h>
#include <vector>

using knokle::Seconds;
using knokle::test::VirtualLoop;

TEST(VirtualLoop, TimersFireInDueOrderAtTheirDueTime) {
    VirtualLoop loop;
    std::vector<std::pair<int, double>> fired;
    loop.after(Seconds(0.6), [&] { fired.emplace_back(2, loop.elapsed()); });
    loop.after(Seconds(0.25), [&] { fired.emplace_back(1, loop.elapsed()); });
    loop.after(Seconds(0.6), [&] { fired.emplace_back(3, loop.elapsed()); });
    loop.advance(0.5);
    ASSERT_EQ(fired.size(), 1u);
    loop.advance(0.1);
    ASSERT_EQ(fired.size(), 3u);
    EXPECT_EQ(fired[0], std::make_pair(1, 0.25));
    EXPECT_EQ(fired[1].first, 2);
    EXPECT_EQ(fired[2].first, 3);
    EXPECT_DOUBLE_EQ(fired[2].second, 0.6);
}

TEST(VirtualLoop, CancelledTimerNeverFires) {
    VirtualLoop loop;
    int fired = 0;
    auto handle = loop.after(Seconds(1), [&] { ++fired; });
    handle.cancel();
    loop.advance(5);
    EXPECT_EQ(fired, 0);
    EXPECT_EQ(loop.pendingTimerCount(), 0u);
}

TEST(VirtualLoop, TimerScheduledByTimerSeesLaterTime) {
    VirtualLoop loop;
    std::vector<double> at;
    loop.after(Seconds(1), [&] {
        at.push_back(loop.elapsed());
        loop.after(Seconds(0.5), [&] { at.push_back(loop.elapsed()); });
    });
    loop.advance(2);
    EXPECT_EQ(at, (std::vector<double>{1.0, 1.5}));
}

TEST(VirtualLoop, RepeatingTimerUntilCancelled) {
    VirtualLoop loop;
    int ticks = 0;
    auto handle = loop.every(Seconds(0.25), [&] { ++ticks; });
    loop.advance(1.0);
    EXPECT_EQ(ticks, 4);
    handle.cancel();
    loop.advance(1.0);
    EXPECT_EQ(ticks, 4);
}

TEST(VirtualLoop, SleepingFiresDueTimersAndPostedWorkWaits) {
    VirtualLoop loop;
    std::vector<std::string> order;
    loop.post([&] { order.push_back("posted"); });
    loop.workQueue().post([&] { order.push_back("background"); });
    loop.after(Seconds(0.1), [&] { order.push_back("timer"); });
    loop.sleepFor(Seconds(0.15));
    EXPECT_EQ(order, std::vector<std::string>{"timer"});
    EXPECT_DOUBLE_EQ(loop.elapsed(), 0.15);
    loop.runPending();
    EXPECT_EQ(order, (std::vector<std::string>{"timer", "posted", "background"}));
}
