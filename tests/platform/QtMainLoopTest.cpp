#include "platform/linux/runtime/QtMainLoop.h"
#include "platform/linux/runtime/ThreadPoolWorkQueue.h"

#include "QtEventLoop.h"

#include <future>
#include <gtest/gtest.h>
#include <thread>

using namespace knokle;

TEST(QtMainLoop, WorkPostedFromAnotherThreadRunsOnTheMainThreadInOrder) {
    test::ensureQtApplication();
    QtMainLoop loop;
    std::vector<std::pair<int, std::thread::id>> ran;
    std::thread other([&] {
        for (int i = 0; i < 100; ++i)
            loop.post([&, i] { ran.emplace_back(i, std::this_thread::get_id()); });
    });
    other.join();
    test::runEventsFor(50);
    ASSERT_EQ(ran.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(ran[i], std::pair(i, std::this_thread::get_id()));
}

TEST(QtMainLoop, TimersNeverFireEarlyAlwaysOnTheMainThreadAndNotOnceCancelled) {
    // Delays beyond what a Qt timer holds wait as long as it can, never overflowing into an early shot.
    const std::pair<double, double> delays[] = {
        {0.25, 0.25}, {-3, 0}, {std::nan(""), 0}, {3e6, 2147483.647}, {1e300, 2147483.647}};
    for (auto [requested, waits] : delays)
        EXPECT_EQ(QtMainLoop::supportedDelay(Seconds(requested)).count(), waits) << requested;

    test::ensureQtApplication();
    QtMainLoop loop;
    MonotonicTime start = loop.now();
    double firedAfter = -1;
    std::thread::id firedOn;
    int wrongly = 0;
    loop.after(Seconds(0.1), [&] { firedAfter = Seconds(loop.now() - start).count(); });
    loop.after(Seconds(0.05), [&] { ++wrongly; }).cancel();
    for (double seconds : {3e6, 1e10, 1e300})
        loop.after(Seconds(seconds), [&] { ++wrongly; });
    std::thread other([&] { loop.after(Seconds(0.02), [&] { firedOn = std::this_thread::get_id(); }); });
    other.join();
    test::runEventsFor(250);
    EXPECT_GE(firedAfter, 0.1);
    EXPECT_EQ(wrongly, 0);
    EXPECT_EQ(firedOn, std::this_thread::get_id());
}

TEST(ThreadPoolWorkQueue, BlockedTaskDoesNotHoldUpTheNext) {
    ThreadPoolWorkQueue queue(4);
    std::promise<void> release, secondRan;
    queue.post([&, blocked = release.get_future().share()] { blocked.wait(); });
    queue.post([&] { secondRan.set_value(); });
    EXPECT_EQ(secondRan.get_future().wait_for(std::chrono::seconds(2)), std::future_status::ready);
    release.set_value();
}
