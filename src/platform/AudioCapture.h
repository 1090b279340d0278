#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace knokle {

struct AudioFormat {
    int sampleRate = 48000;
    int channels = 1;
};

// Sound from a capture device (a microphone), delivered on the main loop. Nothing is kept or written: each block is
// handed over once and forgotten.
class AudioCapture {
public:
    enum class State { stopped, listening, muted, sourceGone, serverMissing };

    virtual ~AudioCapture() = default;

    // Interleaved float samples in -1...1; firstFrameTime is the monotonic time of the block's first frame (s).
    std::function<void(const float* frames, std::size_t frameCount, AudioFormat format, double firstFrameTime)>
        onFrames;
    // The capture's state changed; reason says why in plain words ("The microphone is muted").
    std::function<void(State state, const std::string& reason)> onStateChanged;

    // Opens the named source, or the default one when the name is empty. Failures arrive as state changes.
    virtual void open(const std::string& sourceName) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
};

} // namespace knokle
