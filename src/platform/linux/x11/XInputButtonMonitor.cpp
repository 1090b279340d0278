#include "platform/linux/x11/XInputButtonMonitor.h"

#include <vector>

#include <X11/extensions/XInput2.h>

namespace knokle {

XInputButtonMonitor::XInputButtonMonitor(std::string displayName) : displayName(std::move(displayName)) {}

XInputButtonMonitor::~XInputButtonMonitor() = default;

bool XInputButtonMonitor::isClickButton(int button) {
    return (button >= 1 && button <= 3) || button >= 8;
}

std::optional<MonitorToken> XInputButtonMonitor::addGlobalMonitor(std::function<void()> handler) {
    if (!connection) {
        connection = XInputRawEvents::open(displayName, {XI_RawButtonPress, XI_RawButtonRelease},
                                           [this](const std::vector<XInputRawEvents::Event>& events) {
                                               int clicks = 0;
                                               for (const auto& event : events)
                                                   clicks += isClickButton(event.detail) ? 1 : 0;
                                               if (clicks > 0) clicked(clicks);
                                           });
        if (!connection) return std::nullopt;
    }
    MonitorToken token = nextToken++;
    handlers.emplace(token, std::move(handler));
    return token;
}

void XInputButtonMonitor::removeMonitor(MonitorToken token) {
    handlers.erase(token);
    if (handlers.empty()) connection.reset();
}

void XInputButtonMonitor::clicked(int clicks) {
    // A handler may remove monitors (and so close the connection): call copies.
    std::vector<std::function<void()>> toCall;
    for (const auto& [token, handler] : handlers)
        toCall.push_back(handler);
    for (int i = 0; i < clicks; ++i)
        for (const auto& handler : toCall)
            handler();
}

} // namespace knokle
