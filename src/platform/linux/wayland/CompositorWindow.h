#pragma once

#include "platform/WindowControl.h"

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// A window with a program in it, as a compositor's IPC describes it and as the search needs it.
struct CompositorWindow {
    WindowId id = 0;
    std::int32_t pid = 0;
    std::string appId; // Wayland app_id or desktop file name, else the X11 class of an XWayland window
    bool focused = false;
    bool fullScreen = false;
};

// The window applicationWindow means: the newest new one carrying one of the names (higher ids are newer), else
// the process's focused one, else its first.
std::optional<WindowId> pickCompositorWindow(const std::vector<CompositorWindow>& windows, const WindowSearch& search);

// Numbers for compositors that name windows with text (KWin's UUIDs, Hyprland's addresses), handed out in the
// order the windows are first seen, so that a later window has a higher number. Any thread may use it.
class WindowIdTable {
public:
    WindowId idFor(const std::string& name);
    std::optional<std::string> nameOf(WindowId id) const;

private:
    mutable std::mutex mutex;
    std::map<std::string, WindowId> ids;
    std::map<WindowId, std::string> names;
};

} // namespace knokle
