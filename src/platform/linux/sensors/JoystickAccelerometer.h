#pragma once

#include "platform/PolledAccelerometer.h"

#include <array>
#include <memory>
#include <optional>

class QSocketNotifier;

namespace knokle {

// How a platform accelerometer's joystick values map to g: joydev stretches the driver's range to
// +-32767, so the driver's units come back from the range it reports, then its units per g apply.
double joystickGPerValue(const std::string& driver, std::optional<double> driverHalfRange);

// Reads a platform accelerometer (lis3lv02d, hdaps, applesmc) from its joystick node, which any user may read
// and which several readers share. Each poll of the driver arrives as a burst of axis events with one kernel
// time; a burst becomes one sample stamped with that time on the monotonic clock.
class JoystickAccelerometer final : public PolledAccelerometer {
public:
    explicit JoystickAccelerometer(AccelerometerInfo info);
    ~JoystickAccelerometer() override;

    bool start() override;
    void stop() override;

private:
    void readEvents();
    void emitBurst();

    AccelerometerInfo info;
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    double gPerValue = 0;
    std::array<double, 3> axes{};
    std::optional<unsigned> burstTime;
    std::optional<double> clockOffset; // monotonic seconds minus kernel event seconds
};

} // namespace knokle
