#include "platform/linux/x11/XInputActivityMonitor.h"

#include "common/SampleClock.h"
#include "platform/linux/x11/XInputButtonMonitor.h"

#include <QSocketNotifier>

// Xlib's macros (None, Bool, Status) clash with Qt's names: include it after Qt.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace knokle {

XInputActivityMonitor::XInputActivityMonitor(std::string displayName) : displayName(std::move(displayName)) {}

XInputActivityMonitor::~XInputActivityMonitor() {
    stop();
}

bool XInputActivityMonitor::start(std::function<void(double time)> onPress) {
    stop();
    display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!display) return false;
    int event = 0, error = 0;
    int major = 2, minor = 2;
    if (!XQueryExtension(display, "XInputExtension", &xinputOpcode, &event, &error) ||
        XIQueryVersion(display, &major, &minor) != Success) {
        stop();
        return false;
    }
    // Presses only: a release follows its press too closely to tell the detector anything more.
    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    XISetMask(bits, XI_RawKeyPress);
    XISetMask(bits, XI_RawButtonPress);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(display, DefaultRootWindow(display), &mask, 1);
    XSync(display, False);
    handler = std::move(onPress);
    notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(display), QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] { drainEvents(); });
    drainEvents(); // XSync may already have read events into Xlib's queue
    return true;
}

void XInputActivityMonitor::stop() {
    notifier.reset();
    handler = nullptr;
    if (display) XCloseDisplay(display);
    display = nullptr;
}

void XInputActivityMonitor::drainEvents() {
    bool pressed = false;
    while (display && XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != xinputOpcode) continue;
        if (!XGetEventData(display, cookie)) continue;
        if (cookie->evtype == XI_RawKeyPress) pressed = true;
        if (cookie->evtype == XI_RawButtonPress)
            pressed = pressed || XInputButtonMonitor::isClickButton(static_cast<XIRawEvent*>(cookie->data)->detail);
        XFreeEventData(display, cookie);
    }
    // Presses read together arrived together: one time stands for them all.
    if (pressed && handler) handler(sampleClockNow());
}

} // namespace knokle
