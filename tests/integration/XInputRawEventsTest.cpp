#include "QtEventLoop.h"
#include "VirtualLoop.h"
#include "XSession.h"
#include "common/SampleClock.h"
#include "platform/linux/x11/XInputActivityMonitor.h"
#include "platform/linux/x11/XInputButtonMonitor.h"
#include "sensing/ClickWatcher.h"

#include <gtest/gtest.h>

using namespace knokle;

TEST(XInputRawEvents, TheClickWatcherSeesPressAndReleaseButNotTheWheelAndActivityIsTimedWhileStarted) {
    test::ensureQtApplication();
    test::XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    XInputButtonMonitor buttons(session.display());
    test::VirtualLoop loop;
    ClickWatcher watcher(buttons, loop);
    watcher.start();
    int seen = 0;
    auto token = buttons.addGlobalMonitor([&] { ++seen; });
    ASSERT_TRUE(token && watcher.monitor);
    // Each command is followed by a press, so when that arrives, everything before it has arrived too.
    auto clicks = [&](const std::string& command, int expected) {
        loop.advance(1);
        EXPECT_EQ(session.run("xdotool " + command), 0);
        return test::runEventsUntil([&] { return watcher.lastClick == loop.now() && seen >= expected; }, 5000);
    };
    ASSERT_TRUE(clicks("mousedown 1", 1));
    ASSERT_TRUE(clicks("mouseup 1", 2));
    ASSERT_TRUE(clicks("click 4 click 5 mousedown 3", 3));
    EXPECT_EQ(seen, 3);

    buttons.removeMonitor(*token); // hears nothing more; the watcher's monitor still does
    ASSERT_TRUE(clicks("mouseup 3 click 1", 3));
    EXPECT_EQ(seen, 3);

    // Key and button presses reach the activity monitor as monotonic times while it is started. Releases and
    // wheel steps give no time; each command's last press gives one, stamped while it ran.
    XInputActivityMonitor monitor(session.display());
    std::vector<double> times;
    ASSERT_TRUE(monitor.start([&](double time) { times.push_back(time); }));
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
