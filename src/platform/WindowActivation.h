#pragma once

#include <cstdint>
#include <string>

namespace knokle {

// What a window needs from the desktop to come forward when the user asked for it somewhere else (a tray
// menu, another launch): focus-stealing prevention would otherwise leave it behind the active window.
class WindowActivation {
public:
    virtual ~WindowActivation() = default;
    // Moves the shown top-level window (its native id) to the current desktop, raises and focuses it.
    virtual void activate(std::uint64_t nativeWindow) = 0;
    // Ends the launch feedback (busy cursor) of the launch with this startup id.
    virtual void completeLaunch(const std::string& startupId) = 0;
};

} // namespace knokle
