#include "platform/linux/desktop/DesktopTrayHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusReply>
#include <X11/Xlib.h>
#include <cstdlib>

namespace knokle {

DesktopTrayHost::DesktopTrayHost(std::optional<std::string> name) : displayName(std::move(name)) {}

bool DesktopTrayHost::available() const {
    return statusNotifierHost() || xembedTray();
}

bool DesktopTrayHost::statusNotifierHost() {
    // A connection of its own, closed again: the tray item makes its own, and an idle second one costs memory.
    const QString name = "knokle-tray-host";
    bool registered = false;
    {
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
        const QString watcher = "org.kde.StatusNotifierWatcher";
        if (bus.isConnected() && bus.interface()->isServiceRegistered(watcher).value()) {
            QDBusInterface properties(watcher, "/StatusNotifierWatcher", "org.freedesktop.DBus.Properties", bus);
            QDBusReply<QDBusVariant> reply = properties.call("Get", watcher, "IsStatusNotifierHostRegistered");
            registered = reply.isValid() && reply.value().variant().toBool();
        }
    }
    QDBusConnection::disconnectFromBus(name);
    return registered;
}

bool DesktopTrayHost::xembedTray() const {
    std::string name = displayName ? *displayName : (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
    if (name.empty()) return false;
    Display* display = XOpenDisplay(name.c_str());
    if (!display) return false;
    std::string selection = "_NET_SYSTEM_TRAY_S" + std::to_string(DefaultScreen(display));
    bool owned = XGetSelectionOwner(display, XInternAtom(display, selection.c_str(), False)) != None;
    XCloseDisplay(display);
    return owned;
}

} // namespace knokle
