#pragma once

#include "platform/HotKeyService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QVariant>
#include <map>
#include <memory>

namespace knokle {

// The arm/pause shortcut through the desktop portal's GlobalShortcuts interface, for Wayland sessions where a
// program cannot grab keys itself: CreateSession, then
// BindShortcuts with the stored combination as the preferred trigger, then ListShortcuts for the trigger the
// desktop chose; Activated presses it. One session at a time, always named "knokle": desktops without an
// application id for us (KDE) keep the user's trigger under the session's name from one start to the next.
// Works on the session bus alone, whatever Qt's platform plugin is.
class PortalHotKeyService final : public QObject, public HotKeyService {
    Q_OBJECT
public:
    static constexpr const char* shortcutId = "arm-or-pause";
    static constexpr const char* shortcutDescription = "Arm or pause taps";

    explicit PortalHotKeyService(QDBusConnection bus = QDBusConnection::sessionBus());
    ~PortalHotKeyService() override;

    // Whether the portal on this bus answers for GlobalShortcuts (waits at most timeoutMs).
    static bool portalOffersShortcuts(QDBusConnection bus = QDBusConnection::sessionBus(), int timeoutMs = 1500);

    std::variant<HotKeyToken, HotKeyFailure> registerHotKey(std::uint32_t keyCode, std::uint32_t modifiers,
                                                            std::function<void()> onPress) override;
    void unregisterHotKey(HotKeyToken token) override;
    void onBindingChange(std::function<void(const HotKeyBinding&)> handler) override;

private slots:
    void activated(const QDBusMessage& message);
    void shortcutsChanged(const QDBusMessage& message);

private:
    struct Registration {
        QString preferredTrigger;
        std::function<void()> onPress;
    };

    void createSession();
    void bind(HotKeyToken token);
    void list(HotKeyToken token);
    bool isNewest(HotKeyToken token) const;
    void report(HotKeyToken token, const HotKeyBinding& binding);
    void fail(HotKeyToken token, uint code, const QVariantMap& results, const std::string& step);
    QString nextHandleToken();
    void closeSession();

    QDBusConnection bus;
    // Only the newest registration is bound; the others are on their way out.
    std::map<HotKeyToken, Registration> registrations;
    HotKeyToken nextToken = 1;
    int handleCounter = 0;
    QString session; // the newest registration's portal session, once made
    bool creating = false;
    std::function<void(const HotKeyBinding&)> bindingHandler;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

// The trigger_description of our shortcut in a portal's a(sa{sv}) shortcut list; empty when it has none.
QString portalTriggerDescription(const QVariant& shortcuts);

} // namespace knokle
