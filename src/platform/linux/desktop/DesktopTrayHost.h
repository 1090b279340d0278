#pragma once

#include "platform/TrayHost.h"

#include <optional>
#include <string>

namespace knokle {

// Asks the desktop afresh each time (Qt remembers its first answer about the bus for the whole process, so
// the program asks here first and waits until one is there).
class DesktopTrayHost final : public TrayHost {
public:
    explicit DesktopTrayHost(std::optional<std::string> displayName = std::nullopt);
    bool available() const override;

    // org.kde.StatusNotifierWatcher is on the session bus and says a host is registered.
    static bool statusNotifierHost();
    // Some client owns the X screen's _NET_SYSTEM_TRAY_Sn selection.
    bool xembedTray() const;

private:
    std::optional<std::string> displayName;
};

} // namespace knokle
