#include "platform/linux/x11/X11WindowControl.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <set>
#include <string_view>

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

std::vector<std::string> X11WindowControl::textList(unsigned long window, const char* property) {
    Atom atom = XInternAtom(display, property, False);
    Atom actualType = None;
    int actualFormat = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char* data = nullptr;
    std::vector<std::string> texts;
    if (XGetWindowProperty(display, window, atom, 0, kMaxListItems, False, AnyPropertyType, &actualType, &actualFormat,
                           &count, &after, &data) != Success)
        return texts;
    if (data && actualFormat == 8) {
        // NUL-separated texts (WM_CLASS holds two: the instance name and the class).
        std::string_view all(reinterpret_cast<const char*>(data), count);
        size_t start = 0;
        while (start < all.size()) {
            size_t end = all.find('\0', start);
            if (end == std::string_view::npos) end = all.size();
            if (end > start) texts.emplace_back(all.substr(start, end - start));
            start = end + 1;
        }
    }
    if (data) XFree(data);
    return texts;
}

bool X11WindowControl::carriesName(unsigned long window, const std::vector<std::string>& names) {
    auto same = [](std::string_view a, std::string_view b) {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
               });
    };
    for (const char* property : {"WM_CLASS", "_GTK_APPLICATION_ID", "_KDE_NET_WM_DESKTOP_FILE"}) {
        for (std::string text : textList(window, property)) {
            if (text.ends_with(".desktop")) text.resize(text.size() - 8);
            for (const auto& name : names)
                if (same(text, name)) return true;
        }
    }
    return false;
}

std::vector<unsigned long> X11WindowControl::clientsLocked() {
    Window root = DefaultRootWindow(display);
    // The client list is in the order the windows were mapped, oldest first.
    auto clients = cardinalList(root, "_NET_CLIENT_LIST", XA_WINDOW);
    if (!clients || clients->empty()) clients = cardinalList(root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
    return clients.value_or(std::vector<unsigned long>{});
}

std::vector<WindowId> X11WindowControl::topLevelWindows() {
    std::lock_guard lock(mutex);
    if (!display) return {};
    auto clients = clientsLocked();
    return std::vector<WindowId>(clients.begin(), clients.end());
}

std::optional<WindowId> X11WindowControl::applicationWindow(const WindowSearch& search) {
    std::lock_guard lock(mutex);
    if (!display) return std::nullopt;
    auto clients = clientsLocked();
    if (!search.names.empty()) {
        std::set<WindowId> existing(search.existing.begin(), search.existing.end());
        for (auto it = clients.rbegin(); it != clients.rend(); ++it)
            if (!existing.count(*it) && carriesName(*it, search.names)) return *it;
    }
    if (search.processIdentifier < 1) return std::nullopt;
    auto pid = static_cast<unsigned long>(search.processIdentifier);
    auto active = cardinalList(DefaultRootWindow(display), "_NET_ACTIVE_WINDOW", XA_WINDOW);
    if (active && !active->empty() && active->front() != None && windowPid(active->front()) == pid)
        return active->front();
    for (unsigned long window : clients)
        if (windowPid(window) == pid) return window;
    return std::nullopt;
}

std::optional<std::string> X11WindowControl::fullScreenLimitation() {
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const char* session = std::getenv("XDG_SESSION_TYPE");
    if ((wayland && *wayland) || (session && std::string_view(session) == "wayland"))
        return "full screen works only for X11 windows in a Wayland session; other windows are left as they open";
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
