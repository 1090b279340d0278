#pragma once

#include "sensing/MotionSensor.h"
#include "sensing/SlapDetector.h"
#include "sensing/TapSource.h"

namespace knokle {

// The built-in accelerometer: HID reports, decoded into samples, judged by the slap detector.
class AccelerometerTapSource final : public TapSource {
public:
    // sampleTime stamps samples (a replay stamps them with its own timeline).
    AccelerometerTapSource(HidManagerFactory hidManagers, std::function<double()> sampleTime);

    std::string name() const override { return "accelerometer"; }
    void start() override;
    void stop() override;
    void reset() override;
    void setLevel(int level) override;
    int level() const override;
    double levelThreshold() const override;
    void setSequenceActive(bool active) override;

    SlapDetector& detector() { return slaps; }

private:
    MotionSensor sensor;
    SlapDetector slaps;
    double sampleTime = 0; // the time of the sample being judged
    bool opened = false;
    bool listening = false;
};

} // namespace knokle
