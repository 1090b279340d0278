#pragma once

#include "platform/MouseButtonMonitor.h"
#include "platform/linux/x11/XInputRawEvents.h"

#include <map>
#include <memory>
#include <string>


namespace knokle {

// Mouse and trackpad button presses and releases anywhere on the X desktop, from XInput2 raw events on an
// X connection of its own. Raw events reach us even while another client grabs the pointer, and they do
// not take the click away from its window. Handlers run on the thread that installed the first monitor
// (the main thread), from its Qt event loop.
class XInputButtonMonitor final : public MouseButtonMonitor {
public:
    // An empty display name means the DISPLAY of the environment.
    explicit XInputButtonMonitor(std::string displayName = {});
    ~XInputButtonMonitor() override;
    XInputButtonMonitor(const XInputButtonMonitor&) = delete;
    XInputButtonMonitor& operator=(const XInputButtonMonitor&) = delete;

    std::optional<MonitorToken> addGlobalMonitor(std::function<void()> handler) override;
    void removeMonitor(MonitorToken token) override;

    // Wheel steps (buttons 4 to 7) are scrolling, not clicks.
    static bool isClickButton(int button);

private:
    void clicked(int clicks);

    std::string displayName;
    std::unique_ptr<XInputRawEvents> connection; // open while a monitor is installed
    std::map<MonitorToken, std::function<void()>> handlers;
    MonitorToken nextToken = 1;
};

} // namespace knokle
