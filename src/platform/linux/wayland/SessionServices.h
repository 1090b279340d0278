#pragma once

#include "platform/HotKeyService.h"
#include "platform/InputActivityMonitor.h"
#include "platform/MouseButtonMonitor.h"
#include "platform/WindowControl.h"

#include <functional>
#include <memory>

namespace knokle {

using Environment = std::function<const char*(const char*)>;

// A Wayland session: XDG_SESSION_TYPE says so, or a Wayland display is named.
bool isWaylandSession(const Environment& environment);

// The realisations of the desktop ports that depend on the session type, chosen once at start.
struct SessionServices {
    bool wayland = false;
    std::unique_ptr<HotKeyService> hotKeys;
    std::unique_ptr<MouseButtonMonitor> buttons;
    std::unique_ptr<InputActivityMonitor> inputActivity; // key and button press times, for the microphone
};

// Needs a Q(Core)Application. X11: key grabs and XInput clicks; where no X display can be grabbed on but the
// desktop portal offers global shortcuts, the portal. Wayland: the portal, no desktop-wide clicks, and GNOME's idle
// monitor for input activity.
SessionServices makeSessionServices(const Environment& environment);
// Full screen: the compositor's interface where there is one we speak (sway's and Hyprland's IPC, KWin's
// scripting), else EWMH, which says once where it falls short. Usable from the exec-mode process too.
std::unique_ptr<WindowControl> makeWindowControl(const Environment& environment);

} // namespace knokle
