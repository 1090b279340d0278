#pragma once

#include "platform/SessionPrivacy.h"

#include <QObject>
#include <QString>

typedef struct _GSettings GSettings;

namespace knokle {

// GNOME's microphone privacy switch (org.gnome.desktop.privacy disable-microphone, read only where that schema is
// installed) and the screen lock: logind's LockedHint on our session, or a screensaver's ActiveChanged signal
// (freedesktop, GNOME). Construct on the main thread; changes arrive on its event loop.
class DesktopSessionPrivacy final : public QObject, public SessionPrivacy {
    Q_OBJECT
public:
    DesktopSessionPrivacy();
    ~DesktopSessionPrivacy() override;

    bool microphoneDisabled() const override;
    bool sessionLocked() const override { return lockedHint || screenSaverActive; }

    // Whether GNOME's privacy schema is installed, so that its switch is honoured.
    bool knowsPrivacySwitch() const { return privacySettings != nullptr; }

private slots:
    void sessionPropertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated);
    void screenSaverActiveChanged(bool active);

private:
    void readLockedHint();
    void changed();

    GSettings* privacySettings = nullptr;
    QString sessionPath;
    bool lockedHint = false;
    bool screenSaverActive = false;
};

} // namespace knokle
