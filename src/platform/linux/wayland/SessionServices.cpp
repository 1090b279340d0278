#include "platform/linux/wayland/SessionServices.h"

#include "platform/linux/sockets/UnixSocketSingleInstance.h"
#include "platform/linux/wayland/HyprlandWindowControl.h"
#include "platform/linux/wayland/KWinWindowControl.h"
#include "platform/linux/wayland/MutterIdleActivityMonitor.h"
#include "platform/linux/wayland/PortalHotKeyService.h"
#include "platform/linux/wayland/SwayWindowControl.h"
#include "platform/linux/x11/X11HotKeyService.h"
#include "platform/linux/x11/X11WindowControl.h"
#include "platform/linux/x11/XInputActivityMonitor.h"
#include "platform/linux/x11/XInputButtonMonitor.h"

#include <string_view>

namespace knokle {
namespace {

// A Wayland compositor keeps pointer buttons to itself; what it shares (idle time) also moves with the pointer
// and keys, which would veto taps made while the other hand rests on the touchpad.
class NoButtonMonitor final : public MouseButtonMonitor {
public:
    std::optional<MonitorToken> addGlobalMonitor(std::function<void()>) override { return std::nullopt; }
    void removeMonitor(MonitorToken) override {}
    std::optional<std::string> limitation() const override {
        return "a Wayland compositor shares no clicks with other programs, so a click's jolt may count as a tap";
    }
};

std::string_view value(const Environment& environment, const char* name) {
    const char* text = environment(name);
    return text ? text : "";
}

// XDG_CURRENT_DESKTOP is a colon-separated list ("KDE", "ubuntu:GNOME").
bool isKdeDesktop(const Environment& environment) {
    std::string_view desktops = value(environment, "XDG_CURRENT_DESKTOP");
    while (!desktops.empty()) {
        auto end = desktops.find(':');
        if (desktops.substr(0, end) == "KDE") return true;
        desktops = end == std::string_view::npos ? "" : desktops.substr(end + 1);
    }
    return false;
}

} // namespace

bool isWaylandSession(const Environment& environment) {
    return value(environment, "XDG_SESSION_TYPE") == "wayland" || !value(environment, "WAYLAND_DISPLAY").empty();
}

SessionServices makeSessionServices(const Environment& environment) {
    SessionServices services;
    services.wayland = isWaylandSession(environment);
    if (services.wayland) {
        services.hotKeys = std::make_unique<PortalHotKeyService>();
        services.buttons = std::make_unique<NoButtonMonitor>();
        services.inputActivity = std::make_unique<MutterIdleActivityMonitor>();
        return services;
    }
    auto grabs = std::make_unique<X11HotKeyService>();
    if (!grabs->connected() && PortalHotKeyService::portalOffersShortcuts())
        services.hotKeys = std::make_unique<PortalHotKeyService>();
    else
        services.hotKeys = std::move(grabs);
    services.buttons = std::make_unique<XInputButtonMonitor>();
    services.inputActivity = std::make_unique<XInputActivityMonitor>();
    return services;
}

std::unique_ptr<WindowControl> makeWindowControl(const Environment& environment) {
    if (!isWaylandSession(environment)) return std::make_unique<X11WindowControl>();
    std::string sway(value(environment, "SWAYSOCK"));
    if (!sway.empty()) return std::make_unique<SwayWindowControl>(sway);
    std::string hyprland(value(environment, "HYPRLAND_INSTANCE_SIGNATURE"));
    if (auto socket = HyprlandWindowControl::socketFor(hyprland, environment("XDG_RUNTIME_DIR")))
        return std::make_unique<HyprlandWindowControl>(*socket);
    if (isKdeDesktop(environment) && KWinWindowControl::kwinOnBus())
        return std::make_unique<KWinWindowControl>(UnixSocketSingleInstance::defaultRuntimeFolder());
    return std::make_unique<X11WindowControl>();
}

} // namespace knokle
