#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

using WindowId = std::uint64_t;

// How to recognise a launched application's window.
struct WindowSearch {
    std::int32_t processIdentifier = 0; // below 1: no process to go by (started over D-Bus)
    std::vector<std::string> names;     // names its windows may carry, compared ignoring case
    std::vector<WindowId> existing;     // top-level windows that were there before the launch
};

// Full screen of a launched application's window. Callable from any thread.
class WindowControl {
public:
    virtual ~WindowControl() = default;

    // The top-level windows there are now.
    virtual std::vector<WindowId> topLevelWindows() = 0;
    // The newest top-level window that is not among search.existing and carries one of search.names (the
    // launched program may have handed off to another process); else the process's focused window, or its
    // first top-level one; nothing while there is none.
    virtual std::optional<WindowId> applicationWindow(const WindowSearch& search) = 0;
    // Whether the window is in full screen; nothing when that cannot be read.
    virtual std::optional<bool> isFullScreen(WindowId window) = 0;
    // Asks the window to enter full screen; the outcome is not reported.
    virtual void requestFullScreen(WindowId window) = 0;
    // Why full screen reaches only some windows here (a Wayland session); nothing when it reaches all.
    virtual std::optional<std::string> fullScreenLimitation() = 0;
};

} // namespace knokle
