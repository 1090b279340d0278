#include "platform/linux/x11/X11HotKeyService.h"
#include "QtEventLoop.h"
#include "XSession.h"

#include <gtest/gtest.h>
// Xlib's macros (None, Bool) clash with the headers above, so it comes last.
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/keysym.h>

using namespace knokle;

namespace {

constexpr std::uint32_t keyT = 17, commandOption = 0x0900; // the default shortcut, Super+Alt+T

// Presses come from another process, so this waits on real time: until `presses` reaches `expected`, then
// a little longer, so that a second delivery of the same press would be counted too.
void pressAndSettle(const test::XSession& x, const char* keys, const int& presses, int expected) {
    ASSERT_EQ(x.run(std::string("xdotool key ") + keys), 0);
    test::runEventsUntil([&] { return presses >= expected; }, 3000);
    test::runEventsUntil([] { return false; }, 200);
    EXPECT_EQ(presses, expected) << keys;
}

} // namespace

TEST(X11HotKeyService, OnePressPerKeyPressAlsoWithNumLockAndACombinationGrabbedElsewhereIsInUse) {
    test::ensureQtApplication();
    test::XSession x(true);
    ASSERT_TRUE(x.ok()) << x.error();
    X11HotKeyService service(x.display());
    ASSERT_TRUE(service.connected());
    int presses = 0;
    auto registered = service.registerHotKey(keyT, commandOption, [&] { ++presses; });
    ASSERT_TRUE(std::holds_alternative<HotKeyToken>(registered));
    pressAndSettle(x, "super+alt+t", presses, 1);
    pressAndSettle(x, "super+alt+t", presses, 2);
    pressAndSettle(x, "alt+t", presses, 2); // without Super it is someone else's

    ASSERT_EQ(x.run("xdotool key Num_Lock"), 0);
    Display* probe = XOpenDisplay(x.display().c_str());
    ASSERT_TRUE(probe);
    XkbStateRec state{};
    XkbGetState(probe, XkbUseCoreKbd, &state);
    XCloseDisplay(probe);
    ASSERT_NE(state.locked_mods, 0) << "NumLock should be locked now";
    pressAndSettle(x, "super+alt+t", presses, 3);

    service.unregisterHotKey(std::get<HotKeyToken>(registered));
    pressAndSettle(x, "super+alt+t", presses, 3);

    // A combination another client has grabbed is in use.
    Display* other = XOpenDisplay(x.display().c_str());
    ASSERT_TRUE(other);
    KeyCode t = XKeysymToKeycode(other, XK_t);
    XGrabKey(other, t, Mod4Mask | Mod1Mask, DefaultRootWindow(other), True, GrabModeAsync, GrabModeAsync);
    XSync(other, False);
    auto refused = service.registerHotKey(keyT, commandOption, [] {});
    ASSERT_TRUE(std::holds_alternative<HotKeyFailure>(refused));
    EXPECT_EQ(std::get<HotKeyFailure>(refused).kind, HotKeyFailure::Kind::inUse);
    EXPECT_EQ(std::get<HotKeyFailure>(refused).reason, "in use by another program");

    // Once the other program lets go, the same combination can be had.
    XUngrabKey(other, t, Mod4Mask | Mod1Mask, DefaultRootWindow(other));
    XCloseDisplay(other);
    EXPECT_TRUE(std::holds_alternative<HotKeyToken>(service.registerHotKey(keyT, commandOption, [] {})));

    auto unknown = service.registerHotKey(999, commandOption, [] {});
    ASSERT_TRUE(std::holds_alternative<HotKeyFailure>(unknown));
    EXPECT_EQ(std::get<HotKeyFailure>(unknown).kind, HotKeyFailure::Kind::unknownKey);
}

TEST(X11HotKeyService, StoredKeyCodesTranslateToKeysyms) {
    const std::pair<std::uint32_t, unsigned long> cases[] = {
        {0, XK_a},     {17, XK_t},    {49, XK_space},    {36, XK_Return},     {123, XK_Left}, {122, XK_F1},
        {111, XK_F12}, {82, XK_KP_0}, {76, XK_KP_Enter}, {39, XK_apostrophe}, {10, 0},        {999, 0}};
    for (const auto& [code, keysym] : cases)
        EXPECT_EQ(keysymForVirtualKey(code), keysym) << code;
}
