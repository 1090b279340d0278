#include "platform/linux/wayland/SessionServices.h"

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
    std::string sway(value(environment, "SWAYSOCK"));
    if (isWaylandSession(environment) && !sway.empty()) return std::make_unique<SwayWindowControl>(sway);
    return std::make_unique<X11WindowControl>();
}

} // namespace knokle
