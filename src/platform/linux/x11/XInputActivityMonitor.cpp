#include "platform/linux/x11/XInputActivityMonitor.h"

#include "common/SampleClock.h"
#include "platform/linux/x11/XInputButtonMonitor.h"

#include <X11/extensions/XInput2.h>

namespace knokle {

XInputActivityMonitor::XInputActivityMonitor(std::string displayName) : displayName(std::move(displayName)) {}

XInputActivityMonitor::~XInputActivityMonitor() {
    stop();
}

bool XInputActivityMonitor::start(std::function<void(double time)> onPress) {
    stop();
    handler = std::move(onPress);
    // Presses only: a release follows its press too closely to tell the detector anything more.
    connection = XInputRawEvents::open(displayName, {XI_RawKeyPress, XI_RawButtonPress},
                                       [this](const std::vector<XInputRawEvents::Event>& events) {
                                           bool pressed = false;
                                           for (const auto& event : events)
                                               pressed = pressed || event.type == XI_RawKeyPress ||
                                                         XInputButtonMonitor::isClickButton(event.detail);
                                           // Presses read together arrived together: one time stands for them all.
                                           if (pressed && handler) handler(sampleClockNow());
                                       });
    if (!connection) handler = nullptr;
    return connection != nullptr;
}

void XInputActivityMonitor::stop() {
    connection.reset();
    handler = nullptr;
}

} // namespace knokle
