#include "sensing/AccelerometerTapSource.h"

namespace knokle {

AccelerometerTapSource::AccelerometerTapSource(HidManagerFactory hidManagers, std::function<double()> sampleTime)
    : sensor(std::move(hidManagers), std::move(sampleTime)) {
    // The source owns both ends, so plain captures cannot outlive what they point at.
    sensor.onSample = [this](double x, double y, double z, double t) {
        if (!listening) return;
        this->sampleTime = t;
        slaps.ingest(x, y, z, t);
    };
    sensor.onUnavailable = [this] {
        if (onUnavailable) onUnavailable();
    };
    slaps.onAcceptedPeak = [this](double peak) {
        if (onAcceptedPeak) onAcceptedPeak(peak);
    };
    slaps.onImpact = [this](double force) {
        if (onImpact) onImpact(Impact{this->sampleTime, slaps.lastAcceptedPeak, force});
    };
}

void AccelerometerTapSource::start() {
    listening = true;
    // The sensor is opened once; a later start only resumes judging its samples.
    if (!opened) {
        opened = true;
        sensor.start();
    }
}

void AccelerometerTapSource::stop() {
    listening = false;
    slaps.reset();
}

void AccelerometerTapSource::reset() {
    slaps.reset();
}

void AccelerometerTapSource::setLevel(int level) {
    slaps.level = level;
}

int AccelerometerTapSource::level() const {
    return slaps.level;
}

double AccelerometerTapSource::levelThreshold() const {
    return slaps.levelThreshold();
}

void AccelerometerTapSource::setSequenceActive(bool active) {
    slaps.sequenceActive = active;
}

} // namespace knokle
