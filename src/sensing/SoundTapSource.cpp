#include "sensing/SoundTapSource.h"

namespace knokle {

SoundTapSource::SoundTapSource(MainLoop& loop, std::unique_ptr<AudioCapture> capture, std::string sourceName)
    : loop(loop), capture(std::move(capture)), sourceName(std::move(sourceName)) {
    // The source owns the capture and the detector, so plain captures cannot outlive what they point at.
    this->capture->onFrames = [this](const float* frames, std::size_t count, AudioFormat format, double time) {
        ingest(frames, count, format, time);
    };
    this->capture->onStateChanged = [this](AudioCapture::State state, const std::string&) {
        if (state == AudioCapture::State::serverMissing || state == AudioCapture::State::sourceGone) {
            if (onUnavailable) onUnavailable();
        }
    };
    detector.onAcceptedPeak = [this](double strength) { heard.push_back({false, strength, 0, 0}); };
    detector.onImpact = [this](double force) {
        heard.push_back({true, detector.lastAcceptedStrength, force, detector.lastVerdictTime()});
    };
}

SoundTapSource::~SoundTapSource() {
    capture->close(); // before the detector goes: no fragment is judged after this
}

void SoundTapSource::ingest(const float* frames, std::size_t count, AudioFormat format, double time) {
    std::vector<Heard> concluded;
    unsigned judgedIn = 0;
    {
        std::lock_guard lock(judging);
        detector.ingest(frames, count, format.channels, format.sampleRate, time);
        concluded.swap(heard);
        judgedIn = *session;
    }
    if (concluded.empty()) return;
    if (std::this_thread::get_id() == mainThread) {
        deliver(concluded);
        return;
    }
    loop.post([this, alive = std::weak_ptr<unsigned>(session), judgedIn, concluded = std::move(concluded)] {
        auto current = alive.lock();
        if (current && *current == judgedIn) deliver(concluded);
    });
}

void SoundTapSource::deliver(const std::vector<Heard>& concluded) {
    for (const Heard& h : concluded) {
        if (h.impact && onImpact) onImpact(Impact{h.time, h.strength, h.force});
        if (!h.impact && onAcceptedPeak) onAcceptedPeak(h.strength);
    }
}

void SoundTapSource::start() {
    if (!capture->isOpen()) capture->open(sourceName);
}

void SoundTapSource::stop() {
    capture->close(); // without the lock: the capture's thread may be waiting for it to finish a fragment
    reset();
}

void SoundTapSource::reset() {
    std::lock_guard lock(judging);
    detector.reset();
    heard.clear();
    ++*session;
}

void SoundTapSource::setLevel(int level) {
    std::lock_guard lock(judging);
    detector.level = level;
}

int SoundTapSource::level() const {
    std::lock_guard lock(judging);
    return detector.level;
}

double SoundTapSource::levelThreshold() const {
    std::lock_guard lock(judging);
    return detector.levelThreshold();
}

void SoundTapSource::setSequenceActive(bool active) {
    std::lock_guard lock(judging);
    detector.sequenceActive = active;
}

void SoundTapSource::noteInputActivity(double time) {
    std::lock_guard lock(judging);
    detector.noteInputActivity(time);
}

} // namespace knokle
