#include "sensing/ReplayAccelerometerPort.h"

#include "sensing/Decimator.h"
#include "sensing/MotionSensor.h"

namespace knokle {

namespace {

class DecimatedReplay final : public PolledAccelerometer {
public:
    DecimatedReplay(HidManagerFactory replay, std::function<double()> sampleTime, double rate)
        : sensor(std::move(replay), std::move(sampleTime)), decimator(rate) {
        sensor.onSample = [this](double x, double y, double z, double t) { decimator.push(x, y, z, t); };
        sensor.onUnavailable = [this] {
            if (onVanished) onVanished();
        };
        decimator.onSample = [this](double x, double y, double z, double t) {
            if (running && onSample) onSample(x, y, z, t);
        };
    }
    bool start() override {
        running = true;
        if (!started) sensor.start();
        started = true;
        return true;
    }
    void stop() override { running = false; }

private:
    MotionSensor sensor;
    Decimator decimator;
    bool started = false;
    bool running = false;
};

} // namespace

ReplayAccelerometerPort::ReplayAccelerometerPort(HidManagerFactory replay, std::function<double()> sampleTime,
                                                 double rate)
    : replay(std::move(replay)), sampleTime(std::move(sampleTime)), rate(rate) {}

std::vector<AccelerometerInfo> ReplayAccelerometerPort::discover() {
    // A recording plays once: after it, there is nothing left to find.
    if (opened) return {};
    AccelerometerInfo info;
    info.name = "recording";
    info.kind = "replay";
    info.node = "report recording";
    info.location = "base";
    info.rate = rate;
    info.highestRate = rate;
    return {info};
}

std::unique_ptr<PolledAccelerometer> ReplayAccelerometerPort::open(const AccelerometerInfo&) {
    opened = true;
    return std::make_unique<DecimatedReplay>(replay, sampleTime, rate);
}

} // namespace knokle
