#include "platform/linux/audio/FrameHandoff.h"

#include <algorithm>
#include <cmath>

namespace knokle {

std::size_t FrameHandoff::capacityFrames(AudioFormat format) const {
    return static_cast<std::size_t>(std::max(0.0, longest.count() * format.sampleRate));
}

bool FrameHandoff::put(AudioFormat format, MonotonicTime firstFrameTime, const float* samples,
                       std::size_t sampleCount) {
    if (format.channels <= 0 || format.sampleRate <= 0) return false;
    const auto channels = static_cast<std::size_t>(format.channels);
    sampleCount -= sampleCount % channels;
    float peak = 0, power = 0;
    for (std::size_t i = 0; i < sampleCount; ++i) {
        peak = std::max(peak, std::abs(samples[i]));
        power += samples[i] * samples[i];
    }
    float rms = sampleCount ? std::sqrt(power / float(sampleCount)) : 0.F;
    std::lock_guard lock(mutex);
    if (!(format == heldFormat)) {
        held.clear(); // a new stream's frames never join the old one's
        takeAsked = false;
    }
    if (held.empty()) {
        heldFormat = format;
        heldStart = firstFrameTime;
    }
    // Digital silence (a muted input, a pause between streams) says nothing of the room: it leaves the floor be.
    if (rms > 1e-5F) {
        if (floorRms == 0 || rms < floorRms) floorRms = rms;
        else floorRms *= 1.005F; // about 4 dB a second: a louder room becomes the background
    }
    if (peak > loudOverFloor * floorRms) lastLoud = firstFrameTime;
    auto askForTake = [&] {
        if (takeAsked) return false;
        bool loud = lastLoud && firstFrameTime - *lastLoud <= toSteady(Seconds(loudTail));
        double heldSeconds = double(held.size() / channels) / format.sampleRate;
        if (!loud && heldSeconds < quietBatch) return false;
        takeAsked = true;
        return true;
    };
    std::size_t capacity = capacityFrames(format) * channels;
    if (sampleCount >= capacity) {
        // More than fits on its own: keep its newest part.
        std::size_t skipped = sampleCount - capacity;
        held.assign(samples + skipped, samples + sampleCount);
        heldStart = firstFrameTime + toSteady(Seconds(double(skipped / channels) / format.sampleRate));
        return askForTake();
    }
    held.insert(held.end(), samples, samples + sampleCount);
    if (held.size() > capacity) {
        std::size_t dropped = held.size() - capacity;
        held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(dropped));
        heldStart += toSteady(Seconds(double(dropped / channels) / format.sampleRate));
    }
    return askForTake();
}

MonotonicTime FrameHandoff::take(std::vector<float>& into, AudioFormat& format) {
    std::lock_guard lock(mutex);
    into.clear();
    into.swap(held); // the caller's old storage becomes ours: no allocation once both have grown
    format = heldFormat;
    takeAsked = false;
    return heldStart;
}

void FrameHandoff::clear() {
    std::lock_guard lock(mutex);
    held.clear();
    lastLoud.reset();
    takeAsked = false; // a take asked for before may never come (a stream closed meanwhile)
}

std::size_t FrameHandoff::heldFrames() const {
    std::lock_guard lock(mutex);
    return heldFormat.channels > 0 ? held.size() / static_cast<std::size_t>(heldFormat.channels) : 0;
}

} // namespace knokle
