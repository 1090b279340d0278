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
    // Releases and wheel steps give no time; each command's last press gives one, stamped while it ran.
    for (const std::string command : {"key a", "keyup a mousedown 1", "mouseup 1 click 4 click 5 keydown b"}) {
        double sent = sampleClockNow();
        std::size_t before = times.size();
        EXPECT_EQ(session.run("xdotool " + command), 0);
        EXPECT_TRUE(test::runEventsUntil([&] { return times.size() > before; }, 5000)) << command;
        test::runEventsFor(100);
        ASSERT_EQ(times.size(), before + 1) << command;
        EXPECT_TRUE(times.back() >= sent && times.back() <= sampleClockNow()) << command;
    }
    monitor.stop();
    EXPECT_EQ(session.run("xdotool key c"), 0);
    test::runEventsFor(200);
    EXPECT_EQ(times.size(), 3u) << "nothing is heard once stopped";
}
