#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace knokle {

struct AudioFormat {
    int sampleRate = 48000;
    int channels = 1;
    bool operator==(const AudioFormat&) const = default;
};

// A sound input the user may pick; `name` is what open() takes.
struct AudioSource {
    std::string name;        // "alsa_input.pci-0000_00_1f.3.analog-stereo"
    std::string description; // "Built-in Audio Analog Stereo"
    bool isMonitor = false;  // the sound a sink plays, not a microphone
    bool isDefault = false;
};

// Sound from a capture device (a microphone). Nothing is kept or written: each block is handed over once and
// forgotten. Blocks come one at a time on the capture's own thread where it has one (a live stream), else on the
// main loop; states always come on the main loop.
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
    // No block is delivered after close() returns.
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    // The sources there are now, handed over once on the main loop (none when no sound server answers, or for a
    // capture that has no choice of sources, such as a file).
    virtual void listSources(std::function<void(std::vector<AudioSource>)> handler) { handler({}); }
};

} // namespace knokle
