#include "platform/linux/wayland/PortalHotKeyService.h"

#include "platform/linux/wayland/PortalRequest.h"
#include "platform/linux/wayland/PortalTrigger.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>

namespace knokle {
namespace {

const QString shortcutsInterface = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");

struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

} // namespace
} // namespace knokle

Q_DECLARE_METATYPE(knokle::PortalShortcut)

namespace knokle {
namespace {

QDBusArgument& operator<<(QDBusArgument& out, const PortalShortcut& shortcut) {
    out.beginStructure();
    out << shortcut.id << shortcut.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, PortalShortcut& shortcut) {
    in.beginStructure();
    in >> shortcut.id >> shortcut.properties;
    in.endStructure();
    return in;
}

// The session handle is a string in the portal's documents but an object path in some answers.
QString handleText(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>() && value.metaType() == QMetaType::fromType<QDBusObjectPath>())
        return value.value<QDBusObjectPath>().path();
    return value.toString();
}

std::string why(uint code, const QVariantMap& results, const std::string& step) {
    if (code == 1) return "the desktop's shortcut dialog was cancelled";
    QString error = results.value("error").toString();
    if (!error.isEmpty()) return step + " failed: " + results.value("message", error).toString().toStdString();
    return step + " was refused by the desktop portal";
}

} // namespace

QString portalTriggerDescription(const QVariant& shortcuts) {
    if (!shortcuts.canConvert<QDBusArgument>()) return {};
    auto list = qdbus_cast<QList<PortalShortcut>>(shortcuts.value<QDBusArgument>());
    for (const auto& shortcut : list)
        if (shortcut.id == PortalHotKeyService::shortcutId)
            return shortcut.properties.value("trigger_description").toString();
    return {};
}

PortalHotKeyService::PortalHotKeyService(QDBusConnection bus) : bus(std::move(bus)) {
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    this->bus.connect(PortalRequest::service(), PortalRequest::objectPath(), shortcutsInterface, "Activated", this,
                      SLOT(activated(QDBusMessage)));
    this->bus.connect(PortalRequest::service(), PortalRequest::objectPath(), shortcutsInterface, "ShortcutsChanged",
                      this, SLOT(shortcutsChanged(QDBusMessage)));
}

PortalHotKeyService::~PortalHotKeyService() {
    *alive = false;
    for (const auto& [token, registration] : registrations)
        if (!registration.session.isEmpty()) closeSession(bus, registration.session);
}

bool PortalHotKeyService::portalOffersShortcuts(QDBusConnection bus, int timeoutMs) {
    if (!bus.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(PortalRequest::service(), PortalRequest::objectPath(),
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << shortcutsInterface << QStringLiteral("version");
    QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

std::variant<HotKeyToken, HotKeyFailure> PortalHotKeyService::registerHotKey(std::uint32_t keyCode,
                                                                             std::uint32_t modifiers,
                                                                             std::function<void()> onPress) {
    if (!bus.isConnected()) return HotKeyFailure{HotKeyFailure::Kind::notInSession, "no session bus"};
    QString trigger = QString::fromStdString(portalTrigger(keyCode, modifiers));
    if (trigger.isEmpty()) return HotKeyFailure{HotKeyFailure::Kind::unknownKey, "unknown key"};
    HotKeyToken token = nextToken++;
    registrations[token] = Registration{trigger, std::move(onPress), {}};
    createSession(token);
    return token;
}

void PortalHotKeyService::unregisterHotKey(HotKeyToken token) {
    auto found = registrations.find(token);
    if (found == registrations.end()) return;
    // A session still being made is closed when it arrives (createSession finds no registration).
    if (!found->second.session.isEmpty()) closeSession(bus, found->second.session);
    registrations.erase(found);
}

void PortalHotKeyService::onBindingChange(std::function<void(const HotKeyBinding&)> handler) {
    bindingHandler = std::move(handler);
}

QString PortalHotKeyService::nextHandleToken() {
    return QString("knokle%1_%2").arg(QCoreApplication::applicationPid()).arg(++handleCounter);
}

void PortalHotKeyService::createSession(HotKeyToken token) {
    QVariantMap options{{"handle_token", nextHandleToken()}, {"session_handle_token", nextHandleToken()}};
    PortalRequest::call(bus, shortcutsInterface, "CreateSession", {options}, options["handle_token"].toString(),
                        [this, token, guard = std::weak_ptr<bool>(alive)](uint code, const QVariantMap& results) {
                            if (guard.expired()) return;
                            QString session = handleText(results.value("session_handle"));
                            auto found = registrations.find(token);
                            if (found == registrations.end()) {
                                if (code == 0 && !session.isEmpty()) closeSession(bus, session);
                                return;
                            }
                            if (code != 0 || session.isEmpty()) return fail(token, code, results, "CreateSession");
                            found->second.session = session;
                            bind(token);
                        });
}

void PortalHotKeyService::bind(HotKeyToken token) {
    const Registration& registration = registrations.at(token);
    QList<PortalShortcut> shortcuts{
        {shortcutId, {{"description", shortcutDescription}, {"preferred_trigger", registration.preferredTrigger}}}};
    QString handle = nextHandleToken();
    PortalRequest::call(bus, shortcutsInterface, "BindShortcuts",
                        {QVariant::fromValue(QDBusObjectPath(registration.session)), QVariant::fromValue(shortcuts),
                         QString(), QVariantMap{{"handle_token", handle}}},
                        handle, [this, token, guard = std::weak_ptr<bool>(alive)](uint code, const QVariantMap& results) {
                            if (guard.expired() || !registrations.count(token)) return;
                            if (code != 0) return fail(token, code, results, "BindShortcuts");
                            QString trigger = portalTriggerDescription(results.value("shortcuts"));
                            if (!trigger.isEmpty()) report(token, {trigger.toStdString(), std::nullopt});
                            list(token);
                        });
}

void PortalHotKeyService::list(HotKeyToken token) {
    QString handle = nextHandleToken();
    PortalRequest::call(bus, shortcutsInterface, "ListShortcuts",
                        {QVariant::fromValue(QDBusObjectPath(registrations.at(token).session)),
                         QVariantMap{{"handle_token", handle}}},
                        handle, [this, token, guard = std::weak_ptr<bool>(alive)](uint code, const QVariantMap& results) {
                            if (guard.expired() || !registrations.count(token) || code != 0) return;
                            QString trigger = portalTriggerDescription(results.value("shortcuts"));
                            // Bound without a trigger: the user may assign one in the desktop's settings later.
                            report(token, {trigger.isEmpty() ? std::nullopt : std::optional(trigger.toStdString()),
                                           std::nullopt});
                        });
}

void PortalHotKeyService::fail(HotKeyToken token, uint code, const QVariantMap& results, const std::string& step) {
    QString error = results.value("error").toString();
    bool noPortal = error == "org.freedesktop.DBus.Error.UnknownMethod" ||
                    error == "org.freedesktop.DBus.Error.UnknownInterface" ||
                    error == "org.freedesktop.DBus.Error.ServiceUnknown" ||
                    error == "org.freedesktop.DBus.Error.UnknownObject";
    HotKeyFailure failure{noPortal ? HotKeyFailure::Kind::notInSession : HotKeyFailure::Kind::unavailable,
                          noPortal ? "the desktop portal offers no global shortcuts" : why(code, results, step)};
    report(token, {std::nullopt, failure});
}

void PortalHotKeyService::report(HotKeyToken token, const HotKeyBinding& binding) {
    // Only the newest registration speaks for the shortcut; an older one is on its way out.
    if (registrations.empty() || registrations.rbegin()->first != token) return;
    if (bindingHandler) bindingHandler(binding);
}

PortalHotKeyService::Registration* PortalHotKeyService::registrationOf(const QString& session) {
    for (auto& [token, registration] : registrations)
        if (registration.session == session) return &registration;
    return nullptr;
}

void PortalHotKeyService::activated(const QDBusMessage& message) {
    auto arguments = message.arguments();
    if (arguments.size() < 2 || arguments[1].toString() != shortcutId) return;
    Registration* registration = registrationOf(handleText(arguments[0]));
    if (registration && registration->onPress) registration->onPress();
}

void PortalHotKeyService::shortcutsChanged(const QDBusMessage& message) {
    auto arguments = message.arguments();
    if (arguments.size() < 2) return;
    QString session = handleText(arguments[0]);
    for (const auto& [token, registration] : registrations) {
        if (registration.session != session) continue;
        QString trigger = portalTriggerDescription(arguments[1]);
        report(token, {trigger.isEmpty() ? std::nullopt : std::optional(trigger.toStdString()), std::nullopt});
    }
}

void PortalHotKeyService::closeSession(QDBusConnection bus, const QString& session) {
    bus.asyncCall(QDBusMessage::createMethodCall(PortalRequest::service(), session, "org.freedesktop.portal.Session",
                                                 "Close"));
}

} // namespace knokle
