#pragma once

namespace knokle {

// Whether the desktop shows tray items: a StatusNotifierItem host on the session bus or an XEmbed system tray.
class TrayHost {
public:
    virtual ~TrayHost() = default;
    virtual bool available() const = 0;
};

} // namespace knokle
