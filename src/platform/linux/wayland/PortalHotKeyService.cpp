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
    closeSession();
}

bool PortalHotKeyService::portalOffersShortcuts(QDBusConnection bus, int timeoutMs) {
    if (!bus.isConnected()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(PortalRequest::service(), PortalRequest::objectPath(),
                                                      "org.freedesktop.DBus.Properties", "Get");
    get << shortcutsInterface << QStringLiteral("version");
    QDBusMessage reply = bus.call(get, QDBus::Block, timeoutMs);
    return reply.type() == QDBusMessage::ReplyMessage;
}

std::variant<HotKeyToken, HotKeyFailure>
PortalHotKeyService::registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers, std::function<void()> onPress) {
    if (!bus.isConnected()) return HotKeyFailure{HotKeyFailure::Kind::notInSession, "no session bus"};
    QString trigger = QString::fromStdString(portalTrigger(keyCode, modifiers));
    if (trigger.isEmpty()) return HotKeyFailure{HotKeyFailure::Kind::unknownKey, "unknown key"};
    HotKeyToken token = nextToken++;
    registrations[token] = Registration{trigger, std::move(onPress)};
    // A session being made is bound for the newest registration when it arrives. A bound one is closed first:
    // the new one takes its name.
    if (creating) return token;
    closeSession();
    createSession();
    return token;
}

void PortalHotKeyService::unregisterHotKey(HotKeyToken token) {
    registrations.erase(token);
    if (registrations.empty()) closeSession();
}

void PortalHotKeyService::onBindingChange(std::function<void(const HotKeyBinding&)> handler) {
    bindingHandler = std::move(handler);
}

QString PortalHotKeyService::nextHandleToken() {
    return QString("knokle%1_%2").arg(QCoreApplication::applicationPid()).arg(++handleCounter);
}

bool PortalHotKeyService::isNewest(HotKeyToken token) const {
    return !registrations.empty() && registrations.rbegin()->first == token;
}

void PortalHotKeyService::createSession() {
    creating = true;
    QVariantMap options{{"handle_token", nextHandleToken()}, {"session_handle_token", "knokle"}};
    PortalRequest::call(bus, shortcutsInterface, "CreateSession", {options}, options["handle_token"].toString(),
                        [this, guard = std::weak_ptr<bool>(alive)](uint code, const QVariantMap& results) {
                            if (guard.expired()) return;
                            creating = false;
                            QString made = handleText(results.value("session_handle"));
                            if (code == 0 && !made.isEmpty()) session = made;
                            if (registrations.empty()) return closeSession();
                            HotKeyToken newest = registrations.rbegin()->first;
                            if (session.isEmpty()) return fail(newest, code, results, "CreateSession");
                            bind(newest);
                        });
}

void PortalHotKeyService::bind(HotKeyToken token) {
    QList<PortalShortcut> shortcuts{
        {shortcutId,
         {{"description", shortcutDescription}, {"preferred_trigger", registrations.at(token).preferredTrigger}}}};
    QString handle = nextHandleToken();
    PortalRequest::call(bus, shortcutsInterface, "BindShortcuts",
                        {QVariant::fromValue(QDBusObjectPath(session)), QVariant::fromValue(shortcuts), QString(),
                         QVariantMap{{"handle_token", handle}}},
                        handle,
                        [this, token, guard = std::weak_ptr<bool>(alive)](uint code, const QVariantMap& results) {
                            if (guard.expired() || !isNewest(token)) return;
                            if (code != 0) return fail(token, code, results, "BindShortcuts");
                            QString trigger = portalTriggerDescription(results.value("shortcuts"));
                            if (!trigger.isEmpty()) report(token, {trigger.toStdString(), std::nullopt});
                            list(token);
                        });
}

void PortalHotKeyService::list(HotKeyToken token) {
    QString handle = nextHandleToken();
    PortalRequest::call(
        bus, shortcutsInterface, "ListShortcuts",
        {QVariant::fromValue(QDBusObjectPath(session)), QVariantMap{{"handle_token", handle}}}, handle,
        [this, token, guard = std::weak_ptr<bool>(alive)](uint code, const QVariantMap& results) {
            if (guard.expired() || !isNewest(token) || code != 0) return;
            QString trigger = portalTriggerDescription(results.value("shortcuts"));
            // Bound without a trigger: the user may assign one in the desktop's settings later.
            report(token, {trigger.isEmpty() ? std::nullopt : std::optional(trigger.toStdString()), std::nullopt});
        });
}

void PortalHotKeyService::fail(HotKeyToken token, uint code, const QVariantMap& results, const std::string& step) {
    QString error = results.value("error").toString();
    bool noPortal =
        error == "org.freedesktop.DBus.Error.UnknownMethod" || error == "org.freedesktop.DBus.Error.UnknownInterface" ||
        error == "org.freedesktop.DBus.Error.ServiceUnknown" || error == "org.freedesktop.DBus.Error.UnknownObject";
    HotKeyFailure failure{noPortal ? HotKeyFailure::Kind::notInSession : HotKeyFailure::Kind::unavailable,
                          noPortal ? "the desktop portal offers no global shortcuts" : why(code, results, step)};
    report(token, {std::nullopt, failure});
}

void PortalHotKeyService::report(HotKeyToken token, const HotKeyBinding& binding) {
    if (isNewest(token) && bindingHandler) bindingHandler(binding);
}

void PortalHotKeyService::activated(const QDBusMessage& message) {
    auto arguments = message.arguments();
    if (arguments.size() < 2 || arguments[1].toString() != shortcutId) return;
    if (session.isEmpty() || handleText(arguments[0]) != session || registrations.empty()) return;
    // The callback may replace the registration; it runs from a copy.
    auto press = registrations.rbegin()->second.onPress;
    if (press) press();
}

void PortalHotKeyService::shortcutsChanged(const QDBusMessage& message) {
    auto arguments = message.arguments();
    if (arguments.size() < 2 || session.isEmpty() || handleText(arguments[0]) != session || registrations.empty())
        return;
    QString trigger = portalTriggerDescription(arguments[1]);
    report(registrations.rbegin()->first,
           {trigger.isEmpty() ? std::nullopt : std::optional(trigger.toStdString()), std::nullopt});
}

void PortalHotKeyService::closeSession() {
    if (session.isEmpty()) return;
    bus.asyncCall(
        QDBusMessage::createMethodCall(PortalRequest::service(), session, "org.freedesktop.portal.Session", "Close"));
    session.clear();
}

} // namespace knokle
