#include "QtEventLoop.h"
#include "VirtualLoop.h"
#include "XSession.h"
#include "platform/linux/x11/XInputButtonMonitor.h"
#include "sensing/ClickWatcher.h"

#include <gtest/gtest.h>

using namespace knokle;

TEST(ClickMonitor, ClickWatcherSeesPressAndReleaseAnywhereButNotTheWheel) {
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
}
