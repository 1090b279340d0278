#pragma once

#include "platform/AudioCapture.h"
#include "platform/MainLoop.h"

#include <mutex>
#include <optional>
#include <vector>

namespace knokle {

// Hands captured frames from the capture thread to the main loop. Holds a bounded amount of sound: when the
// main loop falls behind, the oldest frames go, so memory stays flat and what arrives is always the newest.
// Waking the main loop for every fragment cost as much as the sound server's client itself: the background is
// handed over in batches of `quietBatch`; from a fragment whose peak stands `loudOverFloor` times over the quietest
// recent level on, for `loudTail`, every fragment goes at once, so that a tap and the decay that ends it are judged
// without delay. The lightest tap the detector takes peaks 16 dB (6.3 times) over the background.
class FrameHandoff {
public:
    static constexpr float loudOverFloor = 5;
    static constexpr double quietBatch = 0.05;
    static constexpr double loudTail = 0.15;

    explicit FrameHandoff(Seconds longest) : longest(longest) {}

    // Capture thread. True when the caller should schedule one take().
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
    bool takeAsked = false;
    float floorRms = 0; // of the quietest recent fragment, drifting up while it is louder
    std::optional<MonotonicTime> lastLoud;
};

} // namespace knokle
