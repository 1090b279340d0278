#include "platform/linux/wayland/PortalRequest.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace knokle {

void PortalRequest::call(QDBusConnection bus, const QString& interface, const QString& method,
                         QList<QVariant> arguments, const QString& handleToken, Done done) {
    auto* request = new PortalRequest(bus, std::move(done));
    QString sender = bus.baseService().mid(1).replace('.', '_');
    request->subscribe(objectPath() + "/request/" + sender + "/" + handleToken);

    QDBusMessage message = QDBusMessage::createMethodCall(service(), objectPath(), interface, method);
    message.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(message), request);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, request, [request](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        QDBusPendingReply<QDBusObjectPath> reply = *w;
        if (reply.isError()) {
            request->finish(2, {{"error", reply.error().name()}, {"message", reply.error().message()}});
            return;
        }
        // Portals older than the handle_token option answer on a path of their own choosing.
        QString path = reply.value().path();
        if (!request->paths.contains(path)) request->subscribe(path);
    });
}

void PortalRequest::subscribe(const QString& path) {
    paths << path;
    bus.connect(service(), path, "org.freedesktop.portal.Request", "Response", this, SLOT(response(QDBusMessage)));
}

void PortalRequest::response(const QDBusMessage& message) {
    auto arguments = message.arguments();
    if (arguments.size() < 2) return;
    finish(arguments[0].toUInt(), qdbus_cast<QVariantMap>(arguments[1]));
}

void PortalRequest::finish(uint code, const QVariantMap& results) {
    if (finished) return;
    finished = true;
    for (const auto& path : paths)
        bus.disconnect(service(), path, "org.freedesktop.portal.Request", "Response", this,
                       SLOT(response(QDBusMessage)));
    if (done) done(code, results);
    deleteLater();
}

} // namespace knokle
