#include "platform/linux/x11/X11WindowActivation.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <cstdlib>
#include <cstring>

namespace knokle {
namespace {

constexpr long kSourcePager = 2;
constexpr long kAllDesktops = 0xFFFFFFFF;

std::optional<long> cardinal(Display* display, Window window, const char* property) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::optional<long> value;
    if (XGetWindowProperty(display, window, XInternAtom(display, property, False), 0, 1, False, XA_CARDINAL, &type,
                           &format, &count, &after, &data) == Success &&
        type == XA_CARDINAL && format == 32 && count == 1)
        value = *reinterpret_cast<long*>(data);
    if (data) XFree(data);
    return value;
}

// Startup-notification text goes to the root window in 20-byte pieces: the first with the BEGIN type, the
// rest with the plain one, the whole ending with a NUL.
void broadcast(Display* display, const std::string& text) {
    Window root = DefaultRootWindow(display);
    Atom begin = XInternAtom(display, "_NET_STARTUP_INFO_BEGIN", False);
    Atom more = XInternAtom(display, "_NET_STARTUP_INFO", False);
    XSetWindowAttributes attributes{};
    attributes.override_redirect = True;
    Window sender = XCreateWindow(display, root, -100, -100, 1, 1, 0, CopyFromParent, InputOnly, CopyFromParent,
                                  CWOverrideRedirect, &attributes);
    std::string message = text;
    message.push_back('\0');
    for (std::size_t at = 0; at < message.size(); at += 20) {
        XEvent event{};
        event.xclient.type = ClientMessage;
        event.xclient.window = sender;
        event.xclient.message_type = at == 0 ? begin : more;
        event.xclient.format = 8;
        std::memcpy(event.xclient.data.b, message.data() + at, std::min<std::size_t>(20, message.size() - at));
        XSendEvent(display, root, False, PropertyChangeMask, &event);
    }
    XDestroyWindow(display, sender);
}

std::string quotedValue(const std::string& value) {
    std::string out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

} // namespace

X11WindowActivation::X11WindowActivation(std::optional<std::string> name) : displayName(std::move(name)) {}

X11WindowActivation::~X11WindowActivation() {
    if (display) XCloseDisplay(display);
}

bool X11WindowActivation::connect() {
    if (tried) return display != nullptr;
    tried = true;
    std::string name = displayName ? *displayName : (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    if (!name.empty()) display = XOpenDisplay(name.c_str());
    return display != nullptr;
}

unsigned long X11WindowActivation::startupTime(const std::string& startupId) {
    auto at = startupId.rfind("_TIME");
    if (at == std::string::npos) return 0;
    const char* digits = startupId.c_str() + at + 5;
    char* end = nullptr;
    unsigned long time = std::strtoul(digits, &end, 10);
    return end != digits && *end == '\0' ? time : 0;
}

void X11WindowActivation::sendToRoot(unsigned long window, const char* type, long a, long b, long c) {
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, type, False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = a;
    event.xclient.data.l[1] = b;
    event.xclient.data.l[2] = c;
    XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask, &event);
}

void X11WindowActivation::activate(std::uint64_t nativeWindow) {
    if (!nativeWindow || !connect()) return;
    Window window = static_cast<Window>(nativeWindow);
    // A window left open on another desktop comes to this one rather than taking the user there.
    auto current = cardinal(display, DefaultRootWindow(display), "_NET_CURRENT_DESKTOP");
    auto on = cardinal(display, window, "_NET_WM_DESKTOP");
    if (current && on && *on != *current && *on != kAllDesktops)
        sendToRoot(window, "_NET_WM_DESKTOP", *current, kSourcePager);
    sendToRoot(window, "_NET_ACTIVE_WINDOW", kSourcePager, long(lastLaunchTime ? lastLaunchTime : CurrentTime), 0);
    XFlush(display);
}

void X11WindowActivation::completeLaunch(const std::string& startupId) {
    if (startupId.empty() || !connect()) return;
    lastLaunchTime = startupTime(startupId);
    broadcast(display, "remove: ID=" + quotedValue(startupId));
    XFlush(display);
}

} // namespace knokle
