#pragma once

#include <cstdint>
#include <vector>

namespace knokle {

// One knock on the chassis as the built-in microphones hear it: a few damped low partials that fall from the
// peak to the background's level in `decay`, optionally with a short broadband click at the onset.
struct SoundTapShape {
    double peakDb = 30;     // sample peak over the background's RMS level
    double frequency = 300; // Hz of the main partial; the others lie above it, below 1.5 kHz
    double decay = 0.03;    // s from the peak down to the background
    bool click = false;
};

// Builds a deterministic microphone clip (interleaved float frames): room noise at a set level, with taps and
// the sounds a detector must tell apart from them, each added at a time from the start of the clip. Levels of
// added sounds are their sample peaks in dB over the background's RMS level.
class SyntheticSound {
public:
    SyntheticSound(double rate = 48000, int channels = 1, std::uint32_t seed = 1, double noiseDbfs = -55);

    SyntheticSound& tap(double at, const SoundTapShape& shape);
    // count taps, each `spacing` seconds after the previous one.
    SyntheticSound& taps(double at, int count, double spacing, const SoundTapShape& shape);
    // Bright key clicks with a small low thump, press and release 40-120 ms apart.
    SyntheticSound& typing(double at, double seconds, double keysPerSecond, double peakDb);
    // Voiced syllables (harmonics shaped by formants) in a speaking rhythm, with plosive bursts.
    SyntheticSound& speech(double at, double seconds, double peakDb);
    // Struck and plucked notes that ring for tenths of a second.
    SyntheticSound& music(double at, double seconds, double peakDb);
    // Makes the clip at least this long.
    SyntheticSound& extend(double seconds);

    // The clip with its background noise.
    std::vector<float> render() const;
    double duration() const;
    double sampleRate() const { return rate; }
    int channelCount() const { return channels; }
    double noiseRms() const { return noise; }
    // Where each tap's sound ends (it reaches the background level), in seconds from the start.
    const std::vector<double>& tapEnds() const { return ends; }

private:
    // Adds a mono waveform scaled to the peak, at `at`, with a small level and time difference between channels.
    void place(double at, std::vector<float> wave, double peakDb, double channelSpreadDb);
    double uniform(double low, double high);
    double gaussian();
    std::vector<float> keyClick(double strength);

    double rate;
    int channels;
    double noise;
    std::uint64_t state;
    std::uint32_t seed;
    std::vector<float> mix; // interleaved, without the background
    std::vector<double> ends;
};

} // namespace knokle
