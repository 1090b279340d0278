#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace knokle {

using MonitorToken = std::uint64_t;

// Desktop-wide mouse and trackpad button presses and releases (not wheel scrolling, not movement).
class MouseButtonMonitor {
public:
    virtual ~MouseButtonMonitor() = default;
    // Installs a monitor whose handler runs on the main loop for every press and release anywhere on the
    // desktop; nothing when no monitor can be installed (no display, for example).
    virtual std::optional<MonitorToken> addGlobalMonitor(std::function<void()> handler) = 0;
    virtual void removeMonitor(MonitorToken token) = 0;
    // Why this session offers no desktop-wide button events (a Wayland compositor keeps them to itself);
    // nothing where it does.
    virtual std::optional<std::string> limitation() const { return std::nullopt; }
};

} // namespace knokle
