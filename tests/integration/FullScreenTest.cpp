#include "platform/linux/x11/X11WindowControl.h"

#include "QtEventLoop.h"
#include "XSession.h"

#include <gtest/gtest.h>
#include <unistd.h>

using namespace knokle;

TEST(FullScreen, WithoutADisplayThereIsNoWindow) {
    X11WindowControl control(std::string{});
    EXPECT_FALSE(control.connected());
    EXPECT_EQ(control.applicationWindow(WindowSearch{getpid(), {}, {}}), std::nullopt);
    EXPECT_EQ(control.isFullScreen(42), std::nullopt);
    control.requestFullScreen(42); // nothing to ask; must not crash
}

TEST(FullScreen, XtermWindowsUnderOpenboxEnterFullScreen) {
    test::XSession session(true);
    ASSERT_TRUE(session.ok()) << session.error();
    X11WindowControl control(session.display());
    ASSERT_TRUE(control.connected());
    // Waits on real time: the windows belong to other processes.
    auto until = [](const std::function<bool()>& done) { return test::runEventsUntil(done, 15000); };
    auto windowOf = [&](pid_t pid) {
        std::optional<WindowId> window;
        until([&] { return (window = control.applicationWindow(WindowSearch{pid, {}, {}})).has_value(); });
        return window;
    };
    pid_t first = session.launch({"xterm", "-e", "sleep", "60"});
    auto firstWindow = windowOf(first);
    pid_t second = session.launch({"xterm", "-e", "sleep", "60"});
    auto secondWindow = windowOf(second);
    ASSERT_TRUE(firstWindow && secondWindow) << "is xterm installed?";

    // The second one took the focus; the first is still found among the top-level windows.
    EXPECT_EQ(control.applicationWindow(WindowSearch{first, {}, {}}), firstWindow);
    EXPECT_EQ(control.applicationWindow(WindowSearch{999999, {}, {}}), std::nullopt);
    EXPECT_EQ(control.isFullScreen(*firstWindow), false);

    control.requestFullScreen(*firstWindow);
    EXPECT_TRUE(until([&] { return control.isFullScreen(*firstWindow) == true; }));
    EXPECT_EQ(control.isFullScreen(*secondWindow), false);
    // The size as seen apart from the code under test.
    EXPECT_EQ(session.run("xdotool getwindowgeometry " + std::to_string(*firstWindow) + " | grep -q 1280x800"), 0);

    // A window that has gone is an unreadable state, not a crash of the whole process.
    session.stop(second);
    EXPECT_TRUE(until([&] { return control.isFullScreen(*secondWindow) == std::nullopt; }));
    EXPECT_EQ(control.applicationWindow(WindowSearch{second, {}, {}}), std::nullopt);
}
