#include "platform/linux/x11/XInputButtonMonitor.h"

#include <QSocketNotifier>
#include <vector>

// Xlib's macros (None, Bool, Status) clash with Qt's names: include it after Qt.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace knokle {

XInputButtonMonitor::XInputButtonMonitor(std::string displayName) : displayName(std::move(displayName)) {}

XInputButtonMonitor::~XInputButtonMonitor() {
    disconnect();
}

bool XInputButtonMonitor::isClickButton(int button) {
    return (button >= 1 && button <= 3) || button >= 8;
}

std::optional<MonitorToken> XInputButtonMonitor::addGlobalMonitor(std::function<void()> handler) {
    if (!display && !connect()) return std::nullopt;
    MonitorToken token = nextToken++;
    handlers.emplace(token, std::move(handler));
    return token;
}

void XInputButtonMonitor::removeMonitor(MonitorToken token) {
    handlers.erase(token);
    if (handlers.empty()) disconnect();
}

bool XInputButtonMonitor::connect() {
    display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!display) return false;

    int event = 0, error = 0;
    int major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &xinputOpcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success) {
        disconnect();
        return false;
    }

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawButtonPress);
    XISetMask(bits, XI_RawButtonRelease);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XSync(display, False);

    notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { drainEvents(); });
    // XSync may already have read events into Xlib's queue, where the notifier would not see them.
    drainEvents();
    return true;
}

void XInputButtonMonitor::disconnect() {
    notifier.reset();
    if (display) XCloseDisplay(display);
    display = nullptr;
}

void XInputButtonMonitor::drainEvents() {
    int clicks = 0;
    while (display && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xinputOpcode) continue;
        if (!XGetEventData(display, cookie)) continue;
        if (cookie->evtype == XI_RawButtonPress || cookie->evtype == XI_RawButtonRelease) {
            auto* raw = static_cast<XIRawEvent*>(cookie->data);
            if (isClickButton(raw->detail)) ++clicks;
        }
        XFreeEventData(display, cookie);
    }
    if (clicks == 0) return;
    // A handler may remove monitors (and so close the connection): call copies, after reading is done.
    std::vector<std::function<void()>> toCall;
    for (const auto& [token, handler] : handlers)
        toCall.push_back(handler);
    for (int i = 0; i < clicks; ++i)
        for (const auto& handler : toCall)
            handler();
}

} // namespace knokle
