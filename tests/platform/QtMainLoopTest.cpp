#include "platform/linux/QtMainLoop.h"
#include "platform/linux/ThreadPoolWorkQueue.h"

#include "QtEventLoop.h"

#include <gtest/gtest.h>
#include <thread>

using namespace knokle;

using knokle::test::ensureQtApplication;
using knokle::test::runEventsFor;

TEST(QtMainLoop, PostFromAnotherThreadRunsOnTheMainThreadInOrder) {
    ensureQtApplication();
    QtMainLoop loop;
    std::vector<int> order;
    std::thread::id mainThread = std::this_thread::get_id();
    bool allOnMain = true;
    std::thread other([&] {
        for (int i = 0; i < 100; ++i)
            loop.post([&, i] {
                order.push_back(i);
                allOnMain = allOnMain && std::this_thread::get_id() == mainThread;
            });
    });
    other.join();
    runEventsFor(50);
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(order[i], i);
    EXPECT_TRUE(allOnMain);
}

TEST(QtMainLoop, TimerNeverFiresEarlyAndCancelledNeverFires) {
    ensureQtApplication();
    QtMainLoop loop;
    MonotonicTime start = loop.now();
    double firedAfter = -1;
    bool cancelledFired = false;
    loop.after(Seconds(0.1), [&] { firedAfter = std::chrono::duration<double>(loop.now() - start).count(); });
    auto handle = loop.after(Seconds(0.05), [&] { cancelledFired = true; });
    handle.cancel();
    runEventsFor(250);
    EXPECT_GE(firedAfter, 0.1);
    EXPECT_FALSE(cancelledFired);
}

TEST(QtMainLoop, TimerRequestedFromAnotherThreadFiresOnTheMainThread) {
    ensureQtApplication();
    QtMainLoop loop;
    std::thread::id firedOn;
    std::thread other([&] { loop.after(Seconds(0.02), [&] { firedOn = std::this_thread::get_id(); }); });
    other.join();
    runEventsFor(150);
    EXPECT_EQ(firedOn, std::this_thread::get_id());
}

TEST(ThreadPoolWorkQueue, BlockedTaskDoesNotHoldUpTheNext) {
    ThreadPoolWorkQueue queue(4);
    std::atomic<bool> release{false};
    std::atomic<bool> secondRan{false};
    queue.post([&] {
        while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    });
    queue.post([&] { secondRan = true; });
    for (int i = 0; i < 2000 && !secondRan; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(secondRan);
    release = true;
}
