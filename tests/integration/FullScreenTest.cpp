#include "platform/linux/X11WindowControl.h"

#include "XSession.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// After GoogleTest: Xlib defines None and Bool as macros.
#include <X11/Xlib.h>

using namespace knokle;

namespace {

bool eventually(const std::function<bool()>& condition, int seconds = 15) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return condition();
}

bool onPath(const char* program) {
    return std::system((std::string("command -v ") + program + " >/dev/null 2>&1").c_str()) == 0;
}

pid_t startXterm(const std::string& display) {
    pid_t pid = fork();
    if (pid == 0) {
        setenv("DISPLAY", display.c_str(), 1);
        freopen("/dev/null", "w", stderr); // missing-font complaints
        execlp("xterm", "xterm", "-e", "sleep", "60", nullptr);
        _exit(127);
    }
    return pid;
}

void stopChild(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

// The window's size, read on a connection of the test's own, as a check that does not go through the
// code under test.
std::pair<int, int> frameSize(const std::string& display, WindowId window) {
    Display* dpy = XOpenDisplay(display.c_str());
    if (!dpy) return {0, 0};
    XWindowAttributes attributes{};
    XGetWindowAttributes(dpy, window, &attributes);
    XCloseDisplay(dpy);
    return {attributes.width, attributes.height};
}

} // namespace

TEST(FullScreen, WithoutADisplayThereIsNoWindow) {
    X11WindowControl control(std::string{});
    EXPECT_FALSE(control.connected());
    EXPECT_EQ(control.applicationWindow(WindowSearch{getpid(), {}, {}}), std::nullopt);
    EXPECT_EQ(control.isFullScreen(42), std::nullopt);
    control.requestFullScreen(42); // nothing to ask; must not crash
}

TEST(FullScreen, XtermWindowsUnderOpenboxEnterFullScreen) {
    for (const char* program : {"Xvfb", "openbox", "xterm"})
        if (!onPath(program)) GTEST_SKIP() << program << " is not installed";
    test::XSession session(true);
    ASSERT_TRUE(session.ok()) << session.error();

    pid_t first = startXterm(session.display());
    X11WindowControl control(session.display());
    ASSERT_TRUE(control.connected());
    std::optional<WindowId> firstWindow;
    ASSERT_TRUE(eventually([&] {
        return (firstWindow = control.applicationWindow(WindowSearch{first, {}, {}})).has_value();
    }));
    pid_t second = startXterm(session.display());
    std::optional<WindowId> secondWindow;
    ASSERT_TRUE(eventually([&] {
        return (secondWindow = control.applicationWindow(WindowSearch{second, {}, {}})).has_value();
    }));

    // The second one took the focus; the first is still found among the top-level windows.
    EXPECT_NE(*firstWindow, *secondWindow);
    EXPECT_EQ(control.applicationWindow(WindowSearch{first, {}, {}}), firstWindow);
    EXPECT_EQ(control.applicationWindow(WindowSearch{999999, {}, {}}), std::nullopt);
    EXPECT_EQ(control.isFullScreen(*firstWindow), false);
    EXPECT_EQ(control.isFullScreen(*secondWindow), false);

    control.requestFullScreen(*firstWindow);
    EXPECT_TRUE(eventually([&] { return control.isFullScreen(*firstWindow) == true; }));
    EXPECT_EQ(frameSize(session.display(), *firstWindow), std::make_pair(1280, 800));
    EXPECT_EQ(control.isFullScreen(*secondWindow), false);

    // A window that has gone is an unreadable state, not a crash of the whole process.
    stopChild(second);
    EXPECT_TRUE(eventually([&] { return control.isFullScreen(*secondWindow) == std::nullopt; }));
    EXPECT_EQ(control.applicationWindow(WindowSearch{second, {}, {}}), std::nullopt);
    stopChild(first);
}
