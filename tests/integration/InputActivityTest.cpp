#include "QtEventLoop.h"
#include "XSession.h"
#include "common/SampleClock.h"
#include "platform/linux/x11/XInputActivityMonitor.h"

#include <gtest/gtest.h>

using namespace knokle;

TEST(InputActivity, KeyAndButtonPressesArriveAsMonotonicTimesWhileStarted) {
    test::ensureQtApplication();
    test::XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    XInputActivityMonitor monitor(session.display());
    std::vector<double> times;
    ASSERT_TRUE(monitor.start([&](double time) { times.push_back(time); }));
    // Each command ends with a press, so when a time for it arrives, everything before it has arrived too.
    auto presses = [&](const std::string& command) {
        std::size_t before = times.size();
        double sent = sampleClockNow();
        EXPECT_EQ(session.run("xdotool " + command), 0);
        bool arrived = test::runEventsUntil([&] { return times.size() > before; }, 5000);
        return arrived && times.back() >= sent && times.back() <= sampleClockNow();
    };
    EXPECT_TRUE(presses("key a"));
    EXPECT_TRUE(presses("keydown shift"));
    EXPECT_TRUE(presses("mousedown 1"));

    // Releases and wheel steps are no presses worth a time.
    std::size_t before = times.size();
    EXPECT_EQ(session.run("xdotool keyup shift mouseup 1 click 4 click 5"), 0);
    EXPECT_TRUE(presses("key b"));
    EXPECT_EQ(times.size(), before + 1);

    monitor.stop();
    EXPECT_EQ(session.run("xdotool key c"), 0);
    test::runEventsFor(200);
    EXPECT_EQ(times.size(), before + 1) << "nothing is heard once stopped";
}
