#include "platform/linux/x11/XInputRawEvents.h"

#include <QSocketNotifier>

// Xlib's macros (None, Bool, Status) clash with Qt's names: include it after Qt.
#include <X11/Xlib.h>
#include <X11/extensions/XInput2.h>

namespace knokle {

std::unique_ptr<XInputRawEvents> XInputRawEvents::open(const std::string& displayName,
                                                       std::initializer_list<int> types, Handler handler) {
    std::unique_ptr<XInputRawEvents> connection(new XInputRawEvents);
    connection->display = XOpenDisplay(displayName.empty() ? nullptr : displayName.c_str());
    if (!connection->display) return nullptr;
    int event = 0, error = 0;
    int major = 2, minor = 2;
    if (!XQueryExtension(connection->display, "XInputExtension", &connection->opcode, &event, &error) ||
        XIQueryVersion(connection->display, &major, &minor) != Success)
        return nullptr;

    unsigned char bits[XIMaskLen(XI_LASTEVENT)] = {};
    for (int type : types)
        XISetMask(bits, type);
    XIEventMask mask{XIAllMasterDevices, static_cast<int>(sizeof bits), bits};
    XISelectEvents(connection->display, DefaultRootWindow(connection->display), &mask, 1);
    XSync(connection->display, False);

    connection->handler = std::move(handler);
    auto* self = connection.get();
    connection->notifier = std::make_unique<QSocketNotifier>(ConnectionNumber(self->display), QSocketNotifier::Read);
    QObject::connect(self->notifier.get(), &QSocketNotifier::activated, [self] { self->drain(); });
    // XSync may already have read events into Xlib's queue, where the notifier would not see them.
    self->drain();
    return connection;
}

XInputRawEvents::~XInputRawEvents() {
    notifier.reset();
    if (display) XCloseDisplay(display);
}

void XInputRawEvents::drain() {
    std::vector<Event> events;
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
        XGenericEventCookie* cookie = &event.xcookie;
        if (cookie->type != GenericEvent || cookie->extension != opcode) continue;
        if (!XGetEventData(display, cookie)) continue;
        events.push_back({cookie->evtype, static_cast<XIRawEvent*>(cookie->data)->detail});
        XFreeEventData(display, cookie);
    }
    if (!events.empty()) handler(events);
}

} // namespace knokle
