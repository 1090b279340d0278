#pragma once

#include "platform/AudioCapture.h"
#include "platform/MainLoop.h"

#include <mutex>
#include <vector>

namespace knokle {

// Hands captured frames from the capture thread to the main loop. Holds a bounded amount of sound: when the
// main loop falls behind, the oldest frames go, so memory stays flat and what arrives is always the newest.
class FrameHandoff {
public:
    explicit FrameHandoff(Seconds longest) : longest(longest) {}

    // Capture thread. True when the buffer was empty, i.e. the caller should schedule one take().
    bool put(AudioFormat format, MonotonicTime firstFrameTime, const float* samples, std::size_t sampleCount);
    // Main loop: moves everything held into `into` (reusing its storage) and returns its first frame's time.
    MonotonicTime take(std::vector<float>& into, AudioFormat& format);
    void clear();

    std::size_t heldFrames() const;
    std::size_t capacityFrames(AudioFormat format) const;

private:
    const Seconds longest;
    mutable std::mutex mutex;
    std::vector<float> held;
    AudioFormat heldFormat;
    MonotonicTime heldStart{};
};

} // namespace knokle
