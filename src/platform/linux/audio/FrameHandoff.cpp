#include "platform/linux/audio/FrameHandoff.h"

#include <algorithm>

namespace knokle {

std::size_t FrameHandoff::capacityFrames(AudioFormat format) const {
    return static_cast<std::size_t>(std::max(0.0, longest.count() * format.sampleRate));
}

bool FrameHandoff::put(AudioFormat format, MonotonicTime firstFrameTime, const float* samples,
                       std::size_t sampleCount) {
    if (format.channels <= 0 || format.sampleRate <= 0) return false;
    const auto channels = static_cast<std::size_t>(format.channels);
    sampleCount -= sampleCount % channels;
    std::lock_guard lock(mutex);
    bool wasEmpty = held.empty();
    if (!(format == heldFormat)) held.clear(); // a new stream's frames never join the old one's
    if (held.empty()) {
        heldFormat = format;
        heldStart = firstFrameTime;
        wasEmpty = true;
    }
    std::size_t capacity = capacityFrames(format) * channels;
    if (sampleCount >= capacity) {
        // More than fits on its own: keep its newest part.
        std::size_t skipped = sampleCount - capacity;
        held.assign(samples + skipped, samples + sampleCount);
        heldStart = firstFrameTime + toSteady(Seconds(double(skipped / channels) / format.sampleRate));
        return wasEmpty;
    }
    held.insert(held.end(), samples, samples + sampleCount);
    if (held.size() > capacity) {
        std::size_t dropped = held.size() - capacity;
        held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(dropped));
        heldStart += toSteady(Seconds(double(dropped / channels) / format.sampleRate));
    }
    return wasEmpty;
}

MonotonicTime FrameHandoff::take(std::vector<float>& into, AudioFormat& format) {
    std::lock_guard lock(mutex);
    into.clear();
    into.swap(held); // the caller's old storage becomes ours: no allocation once both have grown
    format = heldFormat;
    return heldStart;
}

void FrameHandoff::clear() {
    std::lock_guard lock(mutex);
    held.clear();
}

std::size_t FrameHandoff::heldFrames() const {
    std::lock_guard lock(mutex);
    return heldFormat.channels > 0 ? held.size() / static_cast<std::size_t>(heldFormat.channels) : 0;
}

} // namespace knokle
