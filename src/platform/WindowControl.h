#pragma once

#include <cstdint>
#include <optional>

namespace knokle {

using WindowId = std::uint64_t;

// Full screen of an application's focused window. Callable from any thread.
class WindowControl {
public:
    virtual ~WindowControl() = default;

    // The focused window of the process right now, if it has exposed one.
    virtual std::optional<WindowId> focusedWindow(std::int32_t processIdentifier) = 0;
    // Whether the window is in full screen; nothing when that cannot be read.
    virtual std::optional<bool> isFullScreen(WindowId window) = 0;
    // Asks the window to enter full screen; the outcome is not reported.
    virtual void requestFullScreen(WindowId window) = 0;
};

} // namespace knokle
