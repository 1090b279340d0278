#pragma once

#include "platform/InputActivityMonitor.h"
#include "platform/linux/x11/XInputRawEvents.h"

#include <memory>
#include <string>


namespace knokle {

// Key presses and button presses anywhere on the X desktop, from XInput2 raw events on an X connection of its own
// that is open only between start() and stop(). Only the time of each press is kept, stamped on the monotonic
// clock as it arrives (within a millisecond); which key it was is never looked at.
class XInputActivityMonitor final : public InputActivityMonitor {
public:
    // An empty display name means the DISPLAY of the environment.
    explicit XInputActivityMonitor(std::string displayName = {});
    ~XInputActivityMonitor() override;
    XInputActivityMonitor(const XInputActivityMonitor&) = delete;
    XInputActivityMonitor& operator=(const XInputActivityMonitor&) = delete;

    bool start(std::function<void(double time)> handler) override;
    void stop() override;

private:
    std::string displayName;
    std::unique_ptr<XInputRawEvents> connection;
    std::function<void(double)> handler;
};

} // namespace knokle
