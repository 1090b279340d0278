#pragma once

#include "platform/HidManager.h"
#include "platform/PolledAccelerometer.h"

#include <functional>

namespace knokle {

// A 1 kHz report recording as a low-rate accelerometer: the reports are decoded as the built-in sensor
// decodes them, then brought down to the asked rate as such a sensor would sample them.
class ReplayAccelerometerPort final : public AccelerometerPort {
public:
    ReplayAccelerometerPort(HidManagerFactory replay, std::function<double()> sampleTime, double rate);

    std::vector<AccelerometerInfo> discover() override;
    std::unique_ptr<PolledAccelerometer> open(const AccelerometerInfo& info) override;

private:
    HidManagerFactory replay;
    std::function<double()> sampleTime;
    double rate;
    bool opened = false;
};

} // namespace knokle
