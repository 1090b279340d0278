#include "platform/linux/x11/X11HotKeyService.h"

#include "common/VirtualKeys.h"

#include <QSocketNotifier>
#include <QTimer>
#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/keysym.h>

namespace knokle {
namespace {

// Errors of X_GrabKey arrive asynchronously; the handler notes them while a registration waits in XSync.
bool grabRefused = false;

int noteGrabError(Display*, XErrorEvent* error) {
    if (error->request_code == X_GrabKey) grabRefused = true;
    return 0;
}

unsigned long keypadKeysym(char c) {
    switch (c) {
    case '.':
        return XK_KP_Decimal;
    case '*':
        return XK_KP_Multiply;
    case '+':
        return XK_KP_Add;
    case '/':
        return XK_KP_Divide;
    case '-':
        return XK_KP_Subtract;
    case '=':
        return XK_KP_Equal;
    default:
        return c >= '0' && c <= '9' ? XK_KP_0 + (c - '0') : 0;
    }
}

unsigned long namedKeysym(const VirtualKey& key) {
    switch (key.named) {
    case NamedKey::returnKey:
        return XK_Return;
    case NamedKey::tab:
        return XK_Tab;
    case NamedKey::space:
        return XK_space;
    case NamedKey::backspace:
        return XK_BackSpace;
    case NamedKey::escape:
        return XK_Escape;
    case NamedKey::forwardDelete:
        return XK_Delete;
    case NamedKey::home:
        return XK_Home;
    case NamedKey::end:
        return XK_End;
    case NamedKey::pageUp:
        return XK_Prior;
    case NamedKey::pageDown:
        return XK_Next;
    case NamedKey::help:
        return XK_Help;
    case NamedKey::left:
        return XK_Left;
    case NamedKey::right:
        return XK_Right;
    case NamedKey::down:
        return XK_Down;
    case NamedKey::up:
        return XK_Up;
    case NamedKey::keypadEnter:
        return XK_KP_Enter;
    case NamedKey::keypadClear:
        return XK_Clear;
    case NamedKey::function:
        return XK_F1 + (key.functionNumber - 1);
    case NamedKey::keypad:
        return keypadKeysym(key.character);
    case NamedKey::none:
        break;
    }
    // Printable ASCII keysyms are the characters themselves.
    return static_cast<unsigned char>(key.character);
}

} // namespace

unsigned long keysymForVirtualKey(std::uint32_t keyCode) {
    auto key = virtualKey(keyCode);
    return key ? namedKeysym(*key) : 0;
}

X11HotKeyService::X11HotKeyService(const std::optional<std::string>& displayName) {
    display = XOpenDisplay(displayName ? displayName->c_str() : nullptr);
    if (!display) return;
    // Without this, a held key sends release/press pairs and would toggle over and over.
    XkbSetDetectableAutoRepeat(display, True, nullptr);
    readModifierMapping();
    notifier = new QSocketNotifier(ConnectionNumber(display), QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [this] { processEvents(); });
}

X11HotKeyService::~X11HotKeyService() {
    delete notifier;
    if (display) XCloseDisplay(display); // drops every grab of this connection
}

void X11HotKeyService::readModifierMapping() {
    XModifierKeymap* map = XGetModifierMapping(display);
    if (map) {
        for (int mod = 0; mod < 8; ++mod) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                KeyCode code = map->modifiermap[mod * map->max_keypermod + k];
                if (!code) continue;
                KeySym sym = XkbKeycodeToKeysym(display, code, 0, 0);
                unsigned bit = 1u << mod;
                if (sym == XK_Num_Lock) numLockMask |= bit;
                if ((sym == XK_Super_L || sym == XK_Super_R) && mod >= Mod1MapIndex && !superMask) superMask = bit;
                if ((sym == XK_Alt_L || sym == XK_Alt_R) && mod >= Mod1MapIndex && !altMask) altMask = bit;
            }
        }
        XFreeModifiermap(map);
    }
    if (!superMask) superMask = Mod4Mask;
    if (!altMask) altMask = Mod1Mask;
}

unsigned X11HotKeyService::xModifiers(std::uint32_t storedMask) const {
    unsigned mods = 0;
    if (storedMask & 0x0100) mods |= superMask; // command
    if (storedMask & 0x0200) mods |= ShiftMask;
    if (storedMask & 0x0800) mods |= altMask; // option
    if (storedMask & 0x1000) mods |= ControlMask;
    return mods;
}

std::variant<HotKeyToken, HotKeyFailure>
X11HotKeyService::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::function<void()> onPress) {
    if (!display) return HotKeyFailure{HotKeyFailure::Kind::unavailable, "no X display"};
    KeySym sym = keysymForVirtualKey(keyCode);
    KeyCode code = sym ? XKeysymToKeycode(display, sym) : 0;
    if (!code) return HotKeyFailure{HotKeyFailure::Kind::unknownKey, "unknown key"};

    Grab grab{code, xModifiers(modifiers), std::move(onPress)};
    Window root = DefaultRootWindow(display);
    XSync(display, False);
    grabRefused = false;
    XErrorHandler previous = XSetErrorHandler(noteGrabError);
    // A grab matches the modifier state exactly, so NumLock and CapsLock each need their own.
    for (unsigned extra : {0u, numLockMask, unsigned(LockMask), numLockMask | LockMask})
        XGrabKey(display, code, grab.modifiers | extra, root, True, GrabModeAsync, GrabModeAsync);
    XSync(display, False);
    XSetErrorHandler(previous);
    scheduleProcessing();
    if (grabRefused) {
        ungrab(grab);
        return HotKeyFailure{HotKeyFailure::Kind::inUse, "in use by another program"};
    }
    HotKeyToken token = nextToken++;
    grabs.emplace(token, std::move(grab));
    return token;
}

void X11HotKeyService::ungrab(const Grab& grab) {
    Window root = DefaultRootWindow(display);
    for (unsigned extra : {0u, numLockMask, unsigned(LockMask), numLockMask | LockMask})
        XUngrabKey(display, grab.keycode, grab.modifiers | extra, root);
    XFlush(display);
}

void X11HotKeyService::unregisterHotKey(HotKeyToken token) {
    auto it = grabs.find(token);
    if (it == grabs.end()) return;
    Grab grab = std::move(it->second);
    grabs.erase(it);
    // Another registration may hold the same combination; keep its grab.
    for (const auto& [other, g] : grabs)
        if (g.keycode == grab.keycode && g.modifiers == grab.modifiers) return;
    ungrab(grab);
}

void X11HotKeyService::scheduleProcessing() {
    // XSync may have read events into Xlib's queue, where the socket notifier cannot see them.
    if (notifier) QTimer::singleShot(0, notifier, [this] { processEvents(); });
}

void X11HotKeyService::processEvents() {
    if (!display) return;
    const unsigned relevant = ShiftMask | ControlMask | superMask | altMask;
    while (XPending(display)) {
        XEvent event;
        XNextEvent(display, &event);
        if (event.type != KeyPress && event.type != KeyRelease) continue;
        unsigned state = event.xkey.state & relevant;
        std::function<void()> press;
        for (auto& [token, grab] : grabs) {
            if (grab.keycode != event.xkey.keycode) continue;
            if (event.type == KeyRelease) {
                grab.down = false;
            } else if (state == grab.modifiers && !grab.down) {
                grab.down = true;
                if (!press) press = grab.onPress;
            }
        }
        // Called after the loop: the handler may register or unregister.
        if (press) press();
    }
}

} // namespace knokle
