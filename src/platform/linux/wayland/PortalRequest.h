#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariantMap>
#include <functional>

namespace knokle {

// One call of a desktop portal method that answers through a Request object's Response signal. The signal is
// subscribed before the call goes out, on the path the portal derives from our bus name and handle token, so
// that a quick answer cannot be missed. Deletes itself once answered (or when the call fails).
class PortalRequest : public QObject {
    Q_OBJECT
public:
    // done(code, results): code 0 success, 1 cancelled by the user, 2 ended otherwise; a call that fails
    // outright (no such portal or interface) gives the D-Bus error name in results["error"] and code 2.
    using Done = std::function<void(uint code, const QVariantMap& results)>;

    static void call(QDBusConnection bus, const QString& interface, const QString& method, QList<QVariant> arguments,
                     const QString& handleToken, Done done);

    static QString service() { return QStringLiteral("org.freedesktop.portal.Desktop"); }
    static QString objectPath() { return QStringLiteral("/org/freedesktop/portal/desktop"); }

private slots:
    void response(const QDBusMessage& message);

private:
    PortalRequest(QDBusConnection bus, Done done) : bus(std::move(bus)), done(std::move(done)) {}
    void subscribe(const QString& path);
    void finish(uint code, const QVariantMap& results);

    QDBusConnection bus;
    Done done;
    QStringList paths;
    bool finished = false;
};

} // namespace knokle
