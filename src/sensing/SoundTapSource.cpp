#include "sensing/SoundTapSource.h"

namespace knokle {

SoundTapSource::SoundTapSource(std::unique_ptr<AudioCapture> capture, std::string sourceName)
    : capture(std::move(capture)), sourceName(std::move(sourceName)) {
    // The source owns the capture and the detector, so plain captures cannot outlive what they point at.
    this->capture->onFrames = [this](const float* frames, std::size_t count, AudioFormat format, double time) {
        detector.ingest(frames, count, format.channels, format.sampleRate, time);
    };
    this->capture->onStateChanged = [this](AudioCapture::State state, const std::string&) {
        if (state == AudioCapture::State::serverMissing || state == AudioCapture::State::sourceGone) {
            if (onUnavailable) onUnavailable();
        }
    };
    detector.onAcceptedPeak = [this](double strength) {
        if (onAcceptedPeak) onAcceptedPeak(strength);
    };
    detector.onImpact = [this](double force) {
        if (onImpact) onImpact(Impact{detector.lastVerdictTime(), detector.lastAcceptedStrength, force});
    };
}

void SoundTapSource::start() {
    if (!capture->isOpen()) capture->open(sourceName);
}

void SoundTapSource::stop() {
    capture->close();
    detector.reset();
}

void SoundTapSource::reset() {
    detector.reset();
}

void SoundTapSource::setLevel(int level) {
    detector.level = level;
}

int SoundTapSource::level() const {
    return detector.level;
}

double SoundTapSource::levelThreshold() const {
    return detector.levelThreshold();
}

void SoundTapSource::setSequenceActive(bool active) {
    detector.sequenceActive = active;
}

} // namespace knokle
