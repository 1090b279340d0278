// GLib first: its headers name a field "signals", which Qt's headers define away.
#include <gio/gio.h>

#include "platform/linux/desktop/DesktopSessionPrivacy.h"

#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <unistd.h>

namespace knokle {

namespace {

constexpr const char* kPrivacySchema = "org.gnome.desktop.privacy";
constexpr const char* kMicrophoneKey = "disable-microphone";
const QString kLogin = QStringLiteral("org.freedesktop.login1");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");

// GSettings aborts on a schema or key that is not installed, so both are looked up first.
GSettings* privacySettingsIfInstalled() {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    if (!source) return nullptr;
    GSettingsSchema* schema = g_settings_schema_source_lookup(source, kPrivacySchema, TRUE);
    if (!schema) return nullptr;
    bool hasKey = g_settings_schema_has_key(schema, kMicrophoneKey);
    g_settings_schema_unref(schema);
    return hasKey ? g_settings_new(kPrivacySchema) : nullptr;
}

} // namespace

DesktopSessionPrivacy::DesktopSessionPrivacy() {
    privacySettings = privacySettingsIfInstalled();
    if (privacySettings)
        g_signal_connect(privacySettings, "changed::disable-microphone",
                         G_CALLBACK(+[](GSettings*, gchar*, gpointer self) {
                             static_cast<DesktopSessionPrivacy*>(self)->changed();
                         }),
                         this);

    QDBusConnection system = QDBusConnection::systemBus();
    if (system.isConnected()) {
        QDBusInterface manager(kLogin, QStringLiteral("/org/freedesktop/login1"),
                               QStringLiteral("org.freedesktop.login1.Manager"), system);
        QDBusReply<QDBusObjectPath> session =
            manager.call(QStringLiteral("GetSessionByPID"), static_cast<quint32>(::getpid()));
        if (session.isValid()) {
            sessionPath = session.value().path();
            system.connect(kLogin, sessionPath, kProperties, QStringLiteral("PropertiesChanged"), this,
                           SLOT(sessionPropertiesChanged(QString, QVariantMap, QStringList)));
            readLockedHint();
        }
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        for (const char* name : {"org.freedesktop.ScreenSaver", "org.gnome.ScreenSaver"})
            bus.connect(QString(), QString(), QString::fromLatin1(name), QStringLiteral("ActiveChanged"), this,
                        SLOT(screenSaverActiveChanged(bool)));
    }
}

DesktopSessionPrivacy::~DesktopSessionPrivacy() {
    if (privacySettings) {
        g_signal_handlers_disconnect_by_data(privacySettings, this);
        g_object_unref(privacySettings);
    }
}

bool DesktopSessionPrivacy::microphoneDisabled() const {
    return privacySettings && g_settings_get_boolean(privacySettings, kMicrophoneKey);
}

void DesktopSessionPrivacy::readLockedHint() {
    QDBusInterface properties(kLogin, sessionPath, kProperties, QDBusConnection::systemBus());
    QDBusReply<QDBusVariant> reply = properties.call(QStringLiteral("Get"), QStringLiteral("org.freedesktop.login1.Session"),
                                                     QStringLiteral("LockedHint"));
    bool locked = reply.isValid() && reply.value().variant().toBool();
    if (locked == lockedHint) return;
    lockedHint = locked;
    changed();
}

void DesktopSessionPrivacy::sessionPropertiesChanged(const QString& interface, const QVariantMap& values,
                                                     const QStringList& invalidated) {
    if (interface != QStringLiteral("org.freedesktop.login1.Session")) return;
    if (values.contains(QStringLiteral("LockedHint"))) {
        bool locked = values.value(QStringLiteral("LockedHint")).toBool();
        if (locked == lockedHint) return;
        lockedHint = locked;
        changed();
    } else if (invalidated.contains(QStringLiteral("LockedHint"))) {
        readLockedHint();
    }
}

void DesktopSessionPrivacy::screenSaverActiveChanged(bool active) {
    if (active == screenSaverActive) return;
    screenSaverActive = active;
    changed();
}

void DesktopSessionPrivacy::changed() {
    if (onChanged) onChanged();
}

} // namespace knokle
