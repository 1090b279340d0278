#include "sensing/SyntheticMotion.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace knokle {

namespace {

constexpr double pulseFloorShare = 0.6; // a tap starts and ends at this share of its peak
constexpr double buzzLevel = 0.0475;    // above the silence floor, below the level that starts an event
constexpr int buzzPeriod = 10;          // samples; quiet stretches between blips are far shorter than 30 ms
constexpr double rumbleFrequency = 40;  // Hz of the rumble's swell

double clamp01(double v) {
    return std::clamp(v, 0.0, 1.0);
}

} // namespace

SyntheticMotion::SyntheticMotion(double rate, std::uint32_t seed, double noise, double startTime)
    : rate(rate), noise(noise), startTime(startTime), state(0x9E3779B97F4A7C15ull ^ seed) {}

int SyntheticMotion::samplesFor(double seconds) const {
    return std::max(0, static_cast<int>(std::lround(seconds * rate)));
}

// splitmix64: the same stream on every platform, so recordings made from it never change.
double SyntheticMotion::nextNoise() {
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    double unit = static_cast<double>(z >> 11) / static_cast<double>(1ull << 53); // [0, 1)
    return (unit * 2 - 1) * noise;
}

void SyntheticMotion::emit(double devX, double devY, double devZ) {
    double t = now();
    double nx = nextNoise(), ny = nextNoise(), nz = nextNoise();
    stream.push_back({t, gx + devX + nx, gy + devY + ny, gz + devZ + nz});
    ++index;
}

SyntheticMotion& SyntheticMotion::rest(double seconds) {
    int n = samplesFor(seconds);
    for (int i = 0; i < n; ++i)
        emit(0, 0, 0);
    return *this;
}

SyntheticMotion& SyntheticMotion::tilt(double dx, double dy, double dz, double seconds) {
    int n = std::max(1, samplesFor(seconds));
    for (int i = 0; i < n; ++i) {
        gx += dx / n;
        gy += dy / n;
        gz += dz / n;
        emit(0, 0, 0);
    }
    return *this;
}

void SyntheticMotion::pulse(int samples, double verticalShare, const std::vector<double>& deviations) {
    double share = clamp01(verticalShare);
    double lateral = std::sqrt(1 - share * share);
    for (int i = 0; i < samples; ++i) {
        double value = deviations[static_cast<size_t>(i)];
        // A knock pushes the chassis down against gravity; the sideways part is split 4:3 between x and y.
        emit(value * lateral * 0.8, value * lateral * 0.6, -value * share);
    }
}

SyntheticMotion& SyntheticMotion::tap(const TapShape& shape) {
    int n = std::max(1, samplesFor(shape.duration));
    int peakAt = std::min(samplesFor(shape.rise), n - 1);
    std::vector<double> deviations(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        double share;
        if (i < peakAt) {
            share = pulseFloorShare + (1 - pulseFloorShare) * i / peakAt;
        } else {
            int fall = n - 1 - peakAt;
            share = fall > 0 ? 1 - (1 - pulseFloorShare) * (i - peakAt) / fall : 1;
        }
        deviations[static_cast<size_t>(i)] = shape.peak * share;
    }
    pulse(n, shape.verticalShare, deviations);
    return *this;
}

SyntheticMotion& SyntheticMotion::taps(int count, double spacing, const TapShape& shape) {
    for (int k = 0; k < count; ++k) {
        if (k > 0) rest(spacing - shape.duration);
        tap(shape);
    }
    return *this;
}

SyntheticMotion& SyntheticMotion::sidewaysKnock(double peak, double duration) {
    return tap({.peak = peak, .duration = duration, .rise = 0.002, .verticalShare = 0.3});
}

SyntheticMotion& SyntheticMotion::slowPush(double peak, double rise) {
    int up = std::max(1, samplesFor(rise));
    std::vector<double> deviations(static_cast<size_t>(2 * up));
    for (int i = 0; i < up; ++i) {
        deviations[static_cast<size_t>(i)] = peak * (i + 1) / up;
        deviations[static_cast<size_t>(2 * up - 1 - i)] = peak * (i + 1) / up;
    }
    pulse(2 * up, 1, deviations);
    return *this;
}

SyntheticMotion& SyntheticMotion::rumble(double peak, double seconds) {
    int n = samplesFor(seconds);
    std::vector<double> deviations(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        double swell = std::sin(2 * std::numbers::pi * rumbleFrequency * i / rate);
        // Alternating sign: the chassis shakes about its rest position, so the baseline stays put.
        deviations[static_cast<size_t>(i)] = (i % 2 ? 1 : -1) * peak * (0.85 + 0.15 * swell);
    }
    pulse(n, 1, deviations);
    return *this;
}

SyntheticMotion& SyntheticMotion::heldTaps(int count, double spacing, const TapShape& shape) {
    for (int k = 0; k < count; ++k) {
        if (k > 0) {
            int n = samplesFor(spacing - shape.duration);
            for (int i = 0; i < n; ++i) {
                int phase = i % buzzPeriod;
                // Blips of alternating sign, so the buzz does not drag the baseline along; sideways, because
                // the baseline still carries a little of the taps along z.
                double blip = phase == buzzPeriod - 1 ? ((i / buzzPeriod) % 2 ? buzzLevel : -buzzLevel) : 0;
                emit(0, blip, 0);
            }
        }
        tap(shape);
    }
    return *this;
}

} // namespace knokle
