#pragma once

#include <functional>
#include <optional>
#include <string>

namespace knokle {

// When keys and buttons are pressed anywhere on the desktop: the time only, never which key. A keystroke's sound
// reaches the microphone like a tap; the press says it was typing.
class InputActivityMonitor {
public:
    virtual ~InputActivityMonitor() = default;
    // Reports each press (or, where the desktop tells less, the latest activity) to handler on the main loop with
    // its monotonic time in seconds, until stop(). False when this session tells nothing.
    virtual bool start(std::function<void(double time)> handler) = 0;
    virtual void stop() = 0;
};

} // namespace knokle
