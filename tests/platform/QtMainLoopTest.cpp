#include "platform/linux/QtMainLoop.h"
#include "platform/linux/ThreadPoolWorkQueue.h"

#include "QtEventLoop.h"

#include <gtest/gtest.h>
#include <thread>

using namespace knokle;

TEST(QtMainLoop, WorkPostedFromAnotherThreadRunsOnTheMainThreadInOrder) {
    test::ensureQtApplication();
    QtMainLoop loop;
    std::vector<int> order;
    std::vector<std::thread::id> ranOn;
    std::thread other([&] {
        for (int i = 0; i < 100; ++i) {
            loop.post([&, i] {
                order.push_back(i);
                ranOn.push_back(std::this_thread::get_id());
            });
        }
    });
    other.join();
    test::runEventsFor(50);
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_EQ(std::count(ranOn.begin(), ranOn.end(), std::this_thread::get_id()), 100);
}

TEST(QtMainLoop, TimersNeverFireEarlyAlwaysOnTheMainThreadAndNotOnceCancelled) {
    test::ensureQtApplication();
    QtMainLoop loop;
    MonotonicTime start = loop.now();
    double firedAfter = -1;
    std::thread::id firedOn;
    bool cancelledFired = false;
    loop.after(Seconds(0.1), [&] { firedAfter = Seconds(loop.now() - start).count(); });
    loop.after(Seconds(0.05), [&] { cancelledFired = true; }).cancel();
    std::thread other([&] { loop.after(Seconds(0.02), [&] { firedOn = std::this_thread::get_id(); }); });
    other.join();
    test::runEventsFor(250);
    EXPECT_GE(firedAfter, 0.1);
    EXPECT_FALSE(cancelledFired);
    EXPECT_EQ(firedOn, std::this_thread::get_id());
}

TEST(ThreadPoolWorkQueue, BlockedTaskDoesNotHoldUpTheNext) {
    ThreadPoolWorkQueue queue(4);
    std::atomic<bool> release{false}, secondRan{false};
    queue.post([&] {
        while (!release)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    queue.post([&] { secondRan = true; });
    for (int i = 0; i < 2000 && !secondRan; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(secondRan);
    release = true;
}
