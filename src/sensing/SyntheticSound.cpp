#include "sensing/SyntheticSound.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>

namespace knokle {

namespace {

constexpr double kTwoPi = 2 * std::numbers::pi;

double gain(double db) {
    return std::pow(10.0, db / 20);
}

// One period of a harmonic tone, read with a phase accumulator: cheap for minutes of speech and music.
struct WaveTable {
    static constexpr int size = 1024;
    std::array<float, size + 1> table{};

    template <typename Amplitude> void build(int harmonics, Amplitude amplitude) {
        for (int i = 0; i <= size; ++i) {
            double sum = 0;
            for (int k = 1; k <= harmonics; ++k) sum += amplitude(k) * std::sin(kTwoPi * k * i / size);
            table[static_cast<std::size_t>(i)] = static_cast<float>(sum);
        }
    }
    double at(double phase) const { // phase in [0, 1)
        double position = phase * size;
        auto index = static_cast<std::size_t>(position);
        double share = position - static_cast<double>(index);
        return table[index] * (1 - share) + table[index + 1] * share;
    }
};

} // namespace

SyntheticSound::SyntheticSound(double rate, int channels, std::uint32_t seed, double noiseDbfs)
    : rate(rate), channels(std::max(channels, 1)), noise(gain(noiseDbfs)), state(0x9E3779B97F4A7C15ull ^ seed),
      seed(seed) {}

// splitmix64: the same clip on every platform, so files made from it never change.
double SyntheticSound::uniform(double low, double high) {
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    double unit = static_cast<double>(z >> 11) / static_cast<double>(1ull << 53);
    return low + unit * (high - low);
}

double SyntheticSound::gaussian() {
    double sum = 0;
    for (int i = 0; i < 4; ++i) sum += uniform(-1, 1);
    return sum * std::sqrt(3.0 / 4); // unit variance, close enough to normal
}

double SyntheticSound::duration() const {
    return static_cast<double>(mix.size() / static_cast<std::size_t>(channels)) / rate;
}

SyntheticSound& SyntheticSound::extend(double seconds) {
    auto frames = static_cast<std::size_t>(std::lround(seconds * rate));
    if (mix.size() < frames * static_cast<std::size_t>(channels)) mix.resize(frames * static_cast<std::size_t>(channels));
    return *this;
}

void SyntheticSound::place(double at, std::vector<float> wave, double peakDb, double channelSpreadDb) {
    float peak = 0;
    for (float v : wave) peak = std::max(peak, std::abs(v));
    if (peak <= 0) return;
    double scale = noise * gain(peakDb) / peak;
    auto start = static_cast<std::size_t>(std::lround(std::max(at, 0.0) * rate));
    extend(static_cast<double>(start + wave.size() + 1) / rate);
    for (int c = 0; c < channels; ++c) {
        // The microphones sit a few centimetres apart: a little quieter and a few samples later on the far one.
        double channelGain = c == 0 ? 1 : gain(-uniform(0, channelSpreadDb));
        std::size_t lag = c == 0 ? 0 : static_cast<std::size_t>(uniform(0, 0.00015) * rate);
        for (std::size_t i = 0; i < wave.size(); ++i) {
            std::size_t frame = start + i + lag;
            if (frame * static_cast<std::size_t>(channels) >= mix.size()) break;
            mix[frame * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] +=
                static_cast<float>(wave[i] * scale * channelGain);
        }
    }
}

SyntheticSound& SyntheticSound::tap(double at, const SoundTapShape& shape) {
    // Falls from the peak to the background's level in `decay`.
    double tau = shape.decay / (shape.peakDb / 20 * std::log(10.0));
    auto length = static_cast<std::size_t>((shape.decay + 0.002) * rate);
    std::array<double, 3> frequencies{shape.frequency, std::min(shape.frequency * 1.7, 1450.0),
                                      std::min(shape.frequency * 2.6, 1500.0)};
    std::array<double, 3> amplitudes{1.0, 0.5, 0.3};
    std::array<double, 3> phases{uniform(0, kTwoPi), uniform(0, kTwoPi), uniform(0, kTwoPi)};
    std::vector<float> wave(length);
    double attack = 0.0003 * rate;
    for (std::size_t i = 0; i < length; ++i) {
        double t = static_cast<double>(i) / rate;
        double envelope = std::exp(-t / tau) * std::min(1.0, static_cast<double>(i + 1) / attack);
        double v = 0;
        for (std::size_t k = 0; k < 3; ++k)
            v += amplitudes[k] * std::sin(kTwoPi * frequencies[k] * t + phases[k]) * std::exp(-t * k / tau);
        if (shape.click && t < 0.0008) v += 1.2 * uniform(-1, 1);
        wave[i] = static_cast<float>(v * envelope);
    }
    place(at, std::move(wave), shape.peakDb, 2);
    ends.push_back(at + shape.decay);
    return *this;
}

SyntheticSound& SyntheticSound::taps(double at, int count, double spacing, const SoundTapShape& shape) {
    for (int i = 0; i < count; ++i) tap(at + i * spacing, shape);
    return *this;
}

std::vector<float> SyntheticSound::keyClick(double strength) {
    std::vector<float> wave(static_cast<std::size_t>(0.03 * rate));
    std::array<double, 5> frequencies{}, decays{}, phases{};
    for (std::size_t k = 0; k < 5; ++k) {
        frequencies[k] = uniform(2200, 7800);
        decays[k] = uniform(0.001, 0.003);
        phases[k] = uniform(0, kTwoPi);
    }
    double thump = uniform(120, 300), thumpPhase = uniform(0, kTwoPi);
    for (std::size_t i = 0; i < wave.size(); ++i) {
        double t = static_cast<double>(i) / rate;
        double v = 0;
        for (std::size_t k = 0; k < 5; ++k) v += std::sin(kTwoPi * frequencies[k] * t + phases[k]) * std::exp(-t / decays[k]);
        v += 0.25 * std::sin(kTwoPi * thump * t + thumpPhase) * std::exp(-t / 0.006);
        wave[i] = static_cast<float>(v * strength);
    }
    return wave;
}

SyntheticSound& SyntheticSound::typing(double at, double seconds, double keysPerSecond, double peakDb) {
    for (double t = at; t < at + seconds; t += uniform(0.6, 1.4) / keysPerSecond) {
        double level = peakDb + uniform(-4, 2);
        place(t, keyClick(1), level, 4);
        place(t + uniform(0.04, 0.12), keyClick(1), level - uniform(2, 6), 4);
    }
    return *this;
}

SyntheticSound& SyntheticSound::speech(double at, double seconds, double peakDb) {
    int syllable = 0;
    for (double t = at; t < at + seconds;) {
        double length = uniform(0.12, 0.28);
        double f0 = uniform(100, 220), glide = uniform(-0.1, 0.1);
        std::array<double, 3> formants{uniform(300, 800), uniform(900, 2300), uniform(2300, 2800)};
        WaveTable voice;
        int harmonics = static_cast<int>(3800 / f0);
        voice.build(harmonics, [&](int k) {
            double f = k * f0, a = 0;
            for (double formant : formants) a += 1 / (1 + std::pow((f - formant) / 120, 2));
            return a / std::sqrt(k);
        });
        std::vector<float> wave(static_cast<std::size_t>(length * rate));
        double attack = uniform(0.015, 0.04), release = 0.04, phase = 0;
        for (std::size_t i = 0; i < wave.size(); ++i) {
            double s = static_cast<double>(i) / rate;
            double envelope = std::min({1.0, s / attack, (length - s) / release});
            envelope = 0.5 - 0.5 * std::cos(std::numbers::pi * std::max(envelope, 0.0));
            phase += f0 * (1 + glide * s / length) / rate;
            phase -= std::floor(phase);
            wave[i] = static_cast<float>(voice.at(phase) * envelope);
        }
        double level = peakDb + uniform(-5, 0);
        // A plosive: a short broadband burst just before the vowel.
        if (uniform(0, 1) < 0.3) {
            std::vector<float> burst(static_cast<std::size_t>(0.01 * rate));
            for (std::size_t i = 0; i < burst.size(); ++i)
                burst[i] = static_cast<float>(uniform(-1, 1) * std::exp(-static_cast<double>(i) / (0.003 * rate)));
            place(t, std::move(burst), level - uniform(0, 6), 2);
            t += uniform(0.015, 0.04);
        }
        place(t, std::move(wave), level, 2);
        t += length + uniform(0.03, 0.1);
        if (++syllable % 6 == 0) t += uniform(0.3, 0.8); // a breath between phrases
    }
    return *this;
}

SyntheticSound& SyntheticSound::music(double at, double seconds, double peakDb) {
    static constexpr std::array<double, 8> scale{110, 146.8, 196, 220, 293.7, 392, 440, 587.3};
    for (double t = at; t < at + seconds; t += uniform(0.18, 0.5)) {
        double f0 = scale[static_cast<std::size_t>(uniform(0, 8))] * (uniform(0, 1) < 0.3 ? 2 : 1);
        double ring = uniform(0.1, 0.5); // time constant of the decay
        bool plucked = uniform(0, 1) < 0.5;
        WaveTable tone;
        tone.build(8, [plucked](int k) { return plucked ? 1.0 / k : 1.0 / (k * k); });
        std::vector<float> wave(static_cast<std::size_t>(std::min(4 * ring, 2.0) * rate));
        double attack = (plucked ? 0.001 : 0.003) * rate, phase = 0;
        for (std::size_t i = 0; i < wave.size(); ++i) {
            double s = static_cast<double>(i) / rate;
            phase += f0 / rate;
            phase -= std::floor(phase);
            double envelope = std::exp(-s / ring) * std::min(1.0, static_cast<double>(i + 1) / attack);
            wave[i] = static_cast<float>(tone.at(phase) * envelope);
        }
        place(t, std::move(wave), peakDb + uniform(-6, 0), 3);
    }
    return *this;
}

std::vector<float> SyntheticSound::render() const {
    // Room noise: white hiss with a rumble below a few hundred hertz, scaled to the set RMS level. Its own
    // stream, so adding sounds never changes the background.
    SyntheticSound source(rate, 1, seed * 2654435761u + 17);
    std::vector<float> out(mix.size());
    std::vector<double> rumble(static_cast<std::size_t>(channels), 0);
    double pole = std::exp(-kTwoPi * 200 / rate);
    std::vector<double> background(mix.size());
    double power = 0;
    for (std::size_t i = 0; i < background.size(); ++i) {
        double& r = rumble[i % static_cast<std::size_t>(channels)];
        r = pole * r + (1 - pole) * source.gaussian() * 6;
        background[i] = 0.7 * source.gaussian() + 0.7 * r;
        power += background[i] * background[i];
    }
    double scale = background.empty() ? 0 : noise / std::sqrt(power / static_cast<double>(background.size()));
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<float>(background[i] * scale) + mix[i];
    return out;
}

} // namespace knokle
