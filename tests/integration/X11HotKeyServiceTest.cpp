#include "platform/linux/X11HotKeyService.h"
#include "QtEventLoop.h"
#include "XSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <gtest/gtest.h>
// Xlib's macros (None, Bool) clash with the headers above, so it comes last.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace knokle;

namespace {

// Runs the event loop until the condition holds or the time is up; presses come from another process, so
// this waits on real time.
bool spinUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void settle(int ms) {
    spinUntil([] { return false; }, ms);
}

} // namespace

TEST(X11HotKeyService, DefaultShortcutDeliversOnePressPerKeyPressAlsoWithNumLock) {
    test::ensureQtApplication();
    test::XSession x(true);
    ASSERT_TRUE(x.ok()) << x.error();
    X11HotKeyService service(x.display());
    ASSERT_TRUE(service.connected());
    int presses = 0;
    auto registered = service.registerHotKey(17, 2304, [&] { ++presses; });
    ASSERT_TRUE(std::holds_alternative<HotKeyToken>(registered));

    for (int expected = 1; expected <= 3; ++expected) {
        ASSERT_EQ(x.run("xdotool key super+alt+t"), 0);
        EXPECT_TRUE(spinUntil([&] { return presses >= expected; }, 3000));
    }
    settle(200);
    EXPECT_EQ(presses, 3);

    // The same combination without Super is someone else's.
    ASSERT_EQ(x.run("xdotool key alt+t"), 0);
    settle(200);
    EXPECT_EQ(presses, 3);

    ASSERT_EQ(x.run("xdotool key Num_Lock"), 0);
    Display* probe = XOpenDisplay(x.display().c_str());
    ASSERT_TRUE(probe);
    XkbStateRec state{};
    XkbGetState(probe, XkbUseCoreKbd, &state);
    EXPECT_NE(state.locked_mods, 0) << "NumLock should be locked now";
    XCloseDisplay(probe);
    ASSERT_EQ(x.run("xdotool key super+alt+t"), 0);
    EXPECT_TRUE(spinUntil([&] { return presses >= 4; }, 3000));
    settle(200);
    EXPECT_EQ(presses, 4);

    service.unregisterHotKey(std::get<HotKeyToken>(registered));
    ASSERT_EQ(x.run("xdotool key super+alt+t"), 0);
    settle(300);
    EXPECT_EQ(presses, 4);
}

TEST(X11HotKeyService, ACombinationGrabbedByAnotherClientIsInUse) {
    test::ensureQtApplication();
    test::XSession x;
    ASSERT_TRUE(x.ok()) << x.error();
    Display* other = XOpenDisplay(x.display().c_str());
    ASSERT_TRUE(other);
    KeyCode t = XKeysymToKeycode(other, XK_t);
    XGrabKey(other, t, Mod4Mask | Mod1Mask, DefaultRootWindow(other), True, GrabModeAsync, GrabModeAsync);
    XSync(other, False);

    X11HotKeyService service(x.display());
    auto refused = service.registerHotKey(17, 2304, [] {});
    ASSERT_TRUE(std::holds_alternative<HotKeyFailure>(refused));
    EXPECT_EQ(std::get<HotKeyFailure>(refused).kind, HotKeyFailure::Kind::inUse);
    EXPECT_EQ(std::get<HotKeyFailure>(refused).reason, "in use by another program");

    // Once the other program lets go, the same combination can be had.
    XUngrabKey(other, t, Mod4Mask | Mod1Mask, DefaultRootWindow(other));
    XSync(other, False);
    EXPECT_TRUE(std::holds_alternative<HotKeyToken>(service.registerHotKey(17, 2304, [] {})));
    XCloseDisplay(other);

    auto unknown = service.registerHotKey(999, 2304, [] {});
    ASSERT_TRUE(std::holds_alternative<HotKeyFailure>(unknown));
    EXPECT_EQ(std::get<HotKeyFailure>(unknown).kind, HotKeyFailure::Kind::unknownKey);
}

TEST(X11HotKeyService, StoredKeyCodesTranslateToKeysyms) {
    struct Case {
        std::uint32_t code;
        unsigned long keysym;
    } cases[] = {{0, XK_a},          {17, XK_t},      {49, XK_space}, {36, XK_Return},   {48, XK_Tab},
                 {51, XK_BackSpace}, {53, XK_Escape}, {123, XK_Left}, {126, XK_Up},      {122, XK_F1},
                 {111, XK_F12},      {90, XK_F20},    {82, XK_KP_0},  {76, XK_KP_Enter}, {39, XK_apostrophe},
                 {50, XK_grave},     {10, 0},         {999, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(keysymForVirtualKey(c.code), c.keysym) << c.code;
}
