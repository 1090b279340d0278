#include "platform/linux/wayland/MutterIdleActivityMonitor.h"

#include "common/SampleClock.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

namespace knokle {

namespace {

const QString kService = QStringLiteral("org.gnome.Mutter.IdleMonitor");
const QString kPath = QStringLiteral("/org/gnome/Mutter/IdleMonitor/Core");
const QString kInterface = QStringLiteral("org.gnome.Mutter.IdleMonitor");
constexpr quint64 kIdleAfterMs = 100;

QDBusMessage call(const QString& method, const QVariantList& arguments = {}) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, kPath, kInterface, method);
    message.setArguments(arguments);
    return message;
}

} // namespace

MutterIdleActivityMonitor::MutterIdleActivityMonitor() {
    poll.setInterval(50);
    connect(&poll, &QTimer::timeout, this, [this] { readIdleTime(); });
}

MutterIdleActivityMonitor::~MutterIdleActivityMonitor() {
    stop();
}

bool MutterIdleActivityMonitor::start(std::function<void(double time)> onActivity) {
    stop();
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kService)) return false;
    handler = std::move(onActivity);
    bus.connect(kService, kPath, kInterface, QStringLiteral("WatchFired"), this, SLOT(watchFired(uint)));
    QDBusPendingReply<uint> idle =
        bus.asyncCall(call(QStringLiteral("AddIdleWatch"), {QVariant::fromValue(kIdleAfterMs)}));
    auto* watcher = new QDBusPendingCallWatcher(idle, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        QDBusPendingReply<uint> reply = *done;
        if (!reply.isError()) idleWatch = reply.value();
        done->deleteLater();
    });
    addActiveWatch();
    return true;
}

void MutterIdleActivityMonitor::stop() {
    poll.stop();
    if (!handler) return;
    handler = nullptr;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.disconnect(kService, kPath, kInterface, QStringLiteral("WatchFired"), this, SLOT(watchFired(uint)));
    for (uint id : {idleWatch, activeWatch})
        if (id != 0) bus.asyncCall(call(QStringLiteral("RemoveWatch"), {QVariant::fromValue(id)}));
    idleWatch = activeWatch = 0;
}

void MutterIdleActivityMonitor::addActiveWatch() {
    // A user-active watch fires once; it is added again each time the desktop turns idle.
    QDBusPendingReply<uint> active =
        QDBusConnection::sessionBus().asyncCall(call(QStringLiteral("AddUserActiveWatch")));
    auto* watcher = new QDBusPendingCallWatcher(active, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        QDBusPendingReply<uint> reply = *done;
        if (!reply.isError() && handler) activeWatch = reply.value();
        done->deleteLater();
    });
}

void MutterIdleActivityMonitor::watchFired(uint id) {
    if (!handler || id == 0) return;
    double now = sampleClockNow();
    if (id == activeWatch) {
        activeWatch = 0;
        handler(now);
        poll.start();
    } else if (id == idleWatch) {
        poll.stop();
        handler(now - static_cast<double>(kIdleAfterMs) / 1000);
        addActiveWatch();
    }
}

void MutterIdleActivityMonitor::readIdleTime() {
    QDBusPendingReply<quint64> idle = QDBusConnection::sessionBus().asyncCall(call(QStringLiteral("GetIdletime")));
    auto* watcher = new QDBusPendingCallWatcher(idle, this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* done) {
        QDBusPendingReply<quint64> reply = *done;
        if (!reply.isError() && handler) handler(sampleClockNow() - static_cast<double>(reply.value()) / 1000);
        done->deleteLater();
    });
}

} // namespace knokle
