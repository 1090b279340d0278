#include "platform/linux/X11WindowControl.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cstdlib>
#include <set>

namespace knokle {
namespace {

// Xlib's error handler is one for the whole process, and its default ends the process. A window can vanish
// between two requests (BadWindow), so errors on our own connections are ignored (the request then reports
// failure) and everything else goes to whichever handler was there before us.
std::mutex handlerMutex;
std::set<Display*> quietDisplays;
XErrorHandler previousHandler = nullptr;
bool handlerInstalled = false;

int onXError(Display* display, XErrorEvent* event) {
    XErrorHandler previous;
    {
        std::lock_guard lock(handlerMutex);
        if (quietDisplays.count(display)) return 0;
        previous = previousHandler;
    }
    return previous ? previous(display, event) : 0;
}

void quietenErrors(Display* display) {
    std::lock_guard lock(handlerMutex);
    quietDisplays.insert(display);
    if (!handlerInstalled) {
        previousHandler = XSetErrorHandler(onXError);
        handlerInstalled = true;
    }
}

void forgetDisplay(Display* display) {
    std::lock_guard lock(handlerMutex);
    quietDisplays.erase(display);
}

// EWMH: action 1 adds the state; source 1 is a normal application.
constexpr long kNetWmStateAdd = 1;
constexpr long kSourceApplication = 1;
constexpr long kMaxListItems = 65536;

} // namespace

X11WindowControl::X11WindowControl(std::optional<std::string> displayName) {
    // Several threads may share Xlib; this must come before the first connection of the process.
    static const bool threadsReady = XInitThreads() != 0;
    (void)threadsReady;
    std::string name;
    if (displayName) {
        name = *displayName;
    } else if (const char* env = std::getenv("DISPLAY")) {
        name = env;
    }
    if (name.empty()) return;
    display = XOpenDisplay(name.c_str());
    if (display) quietenErrors(display);
}

X11WindowControl::~X11WindowControl() {
    if (!display) return;
    XSync(display, False); // errors still in flight land in our quiet handler
    forgetDisplay(display);
    XCloseDisplay(display);
}

std::optional<std::vector<unsigned long>> X11WindowControl::cardinalList(unsigned long window, const char* property,
                                                                         unsigned long type) {
    Atom atom = XInternAtom(display, property, False);
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    if (XGetWindowProperty(display, window, atom, 0, kMaxListItems, False, type, &actualType, &actualFormat, &count,
                           &after, &data) != Success)
        return std::nullopt;
    std::vector<unsigned long> values;
    // Format-32 items arrive as longs, whatever the size of long.
    if (data && actualType == type && actualFormat == 32) {
        auto* items = reinterpret_cast<unsigned long*>(data);
        values.assign(items, items + count);
    }
    if (data) XFree(data);
    return values;
}

std::optional<unsigned long> X11WindowControl::windowPid(unsigned long window) {
    auto values = cardinalList(window, "_NET_WM_PID", XA_CARDINAL);
    if (!values || values->empty()) return std::nullopt;
    return values->front();
}

std::optional<WindowId> X11WindowControl::focusedWindow(std::int32_t processIdentifier) {
    std::lock_guard lock(mutex);
    if (!display || processIdentifier < 1) return std::nullopt;
    auto pid = static_cast<unsigned long>(processIdentifier);
    Window root = DefaultRootWindow(display);
    auto active = cardinalList(root, "_NET_ACTIVE_WINDOW", XA_WINDOW);
    if (active && !active->empty() && active->front() != None && windowPid(active->front()) == pid)
        return active->front();
    auto clients = cardinalList(root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
    if (!clients || clients->empty()) clients = cardinalList(root, "_NET_CLIENT_LIST", XA_WINDOW);
    if (!clients) return std::nullopt;
    for (unsigned long window : *clients)
        if (windowPid(window) == pid) return window;
    return std::nullopt;
}

std::optional<bool> X11WindowControl::isFullScreen(WindowId window) {
    std::lock_guard lock(mutex);
    if (!display || window == None) return std::nullopt;
    auto states = cardinalList(window, "_NET_WM_STATE", XA_ATOM);
    if (!states) return std::nullopt;
    Atom fullScreen = XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
    for (unsigned long state : *states)
        if (state == fullScreen) return true;
    return false;
}

void X11WindowControl::requestFullScreen(WindowId window) {
    std::lock_guard lock(mutex);
    if (!display || window == None) return;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.serial = 0;
    event.xclient.send_event = True;
    event.xclient.display = display;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = kNetWmStateAdd;
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False));
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = kSourceApplication;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(display);
}

} // namespace knokle
