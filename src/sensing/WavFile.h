#pragma once

#include "platform/AudioCapture.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// Reads a RIFF WAVE file block by block: PCM 16-bit or 32-bit float (also as WAVE_FORMAT_EXTENSIBLE), one or more
// channels. Sizes in the header are checked against the file, so a hostile header never makes a large allocation.
class WavFile {
public:
    // Whether the file starts like a WAV file ("RIFF", a size, "WAVE"); false when it cannot be read.
    static bool looksLikeWav(const std::filesystem::path& file);

    // Why the file cannot be played ("<file>: not a WAV file: ..."), or nothing once it is open.
    std::optional<std::string> open(const std::filesystem::path& file);

    AudioFormat format() const { return audioFormat; }
    std::uint64_t frameCount() const { return frames; }
    // Up to maxFrames interleaved frames into out (maxFrames * channels floats); 0 at the end or on a read error.
    std::size_t read(float* out, std::size_t maxFrames);
    // The file ended before its header said it would (set by read).
    bool truncated() const { return cutShort; }

private:
    std::ifstream in;
    AudioFormat audioFormat;
    bool isFloat = false;
    std::uint64_t frames = 0;
    std::uint64_t framesLeft = 0;
    bool cutShort = false;
    std::vector<char> buffer;
};

// Writes interleaved frames as 16-bit PCM (clipped to full scale). Returns why it failed, or nothing.
std::optional<std::string> writeWav(const std::filesystem::path& file, const std::vector<float>& frames,
                                    AudioFormat format);

} // namespace knokle
