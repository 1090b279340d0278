#include "QtEventLoop.h"
#include "VirtualLoop.h"
#include "XSession.h"
#include "platform/linux/XInputButtonMonitor.h"
#include "sensing/ClickWatcher.h"

#include <functional>
#include <gtest/gtest.h>

using namespace knokle;

namespace {

// Runs the Qt event loop until done() holds or the time is up.
bool processUntil(const std::function<bool()>& done, int timeoutMs = 5000) {
    return test::runEventsUntil(done, timeoutMs);
}

} // namespace

TEST(ClickMonitor, WithoutADisplayNothingIsInstalled) {
    test::ensureQtApplication();
    XInputButtonMonitor buttons(":4093");
    EXPECT_FALSE(buttons.addGlobalMonitor([] {}).has_value());
    test::VirtualLoop loop;
    ClickWatcher watcher(buttons, loop);
    watcher.start();
    EXPECT_FALSE(watcher.monitor.has_value());
    watcher.stop();
}

TEST(ClickMonitor, SeesPressAndReleaseAnywhereButNotTheWheel) {
    test::ensureQtApplication();
    test::XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    {
        XInputButtonMonitor buttons(session.display());
        int seen = 0;
        auto token = buttons.addGlobalMonitor([&] { ++seen; });
        ASSERT_TRUE(token.has_value());

        ASSERT_EQ(session.run("xdotool mousedown 1"), 0);
        ASSERT_TRUE(processUntil([&] { return seen >= 1; }));
        ASSERT_EQ(session.run("xdotool mouseup 1"), 0);
        ASSERT_TRUE(processUntil([&] { return seen >= 2; }));

        // Events arrive in order: when the right button's press shows up, the wheel's would have too.
        ASSERT_EQ(session.run("xdotool click 4 click 5 mousedown 3"), 0);
        ASSERT_TRUE(processUntil([&] { return seen >= 3; }));
        EXPECT_EQ(seen, 3);

        // A removed monitor hears nothing more.
        buttons.removeMonitor(*token);
        int other = 0;
        auto second = buttons.addGlobalMonitor([&] { ++other; });
        ASSERT_TRUE(second.has_value());
        ASSERT_EQ(session.run("xdotool mouseup 3 click 1"), 0);
        ASSERT_TRUE(processUntil([&] { return other >= 3; }));
        EXPECT_EQ(seen, 3);
    }
}

TEST(ClickMonitor, ClickWatcherRecordsARealClick) {
    test::ensureQtApplication();
    test::XSession session;
    ASSERT_TRUE(session.ok()) << session.error();
    test::VirtualLoop loop;
    XInputButtonMonitor buttons(session.display());
    ClickWatcher watcher(buttons, loop);
    watcher.start();
    ASSERT_TRUE(watcher.monitor.has_value());
    loop.advance(2);
    ASSERT_EQ(session.run("xdotool click 1"), 0);
    ASSERT_TRUE(processUntil([&] { return watcher.lastClick != MonotonicTime::min(); }));
    EXPECT_EQ(watcher.lastClick, loop.now());
    watcher.stop();
}
