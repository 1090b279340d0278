#pragma once

#include <cstdint>
#include <vector>

namespace knokle {

struct MotionSample {
    double t;       // s
    double x, y, z; // g
};

// One knock on the chassis. Its deviation from rest climbs from 60 % of the peak to the peak over `rise`,
// then falls back to 60 % by the end of `duration`, and is gone at once. With a peak of 0.085 g or more the
// whole pulse lies above the level that starts a detector event and above its release level, so the
// detector measures exactly `duration` and `rise`.
struct TapShape {
    double peak = 0.1;        // g
    double duration = 0.008;  // s
    double rise = 0.002;      // s
    double verticalShare = 1; // share of the deviation along z; the rest lies along x and y
};

// Builds a deterministic accelerometer stream: a laptop at rest (gravity at -1 g on z, small seeded noise)
// with taps and the disturbances a detector must tell apart from them.
class SyntheticMotion {
public:
    explicit SyntheticMotion(double rate = 1000, std::uint32_t seed = 1, double noise = 0.001, double startTime = 0);

    // Quiet for the given time.
    SyntheticMotion& rest(double seconds);
    SyntheticMotion& tap(const TapShape& shape);
    // count taps, each starting `spacing` seconds after the previous one, with rest between them.
    SyntheticMotion& taps(int count, double spacing, const TapShape& shape);
    // A knock mostly from the side: a tap whose deviation lies mostly along x and y.
    SyntheticMotion& sidewaysKnock(double peak, double duration = 0.008);
    // A slow push: deviation climbs from nothing to the peak over `rise`, then falls as slowly.
    SyntheticMotion& slowPush(double peak, double rise);
    // A long rumble (a dropped object, typing on the deck): oscillating deviation between 70 % and 100 %
    // of the peak for the whole time.
    SyntheticMotion& rumble(double peak, double seconds);
    // Taps spaced `spacing` apart with a faint buzz between them that never lets the sensor fall quiet for
    // long enough to count as silence (yet never starts an event).
    SyntheticMotion& heldTaps(int count, double spacing, const TapShape& shape);
    // Moves gravity (the lid or the table tilting) linearly by the given amounts over the given time.
    SyntheticMotion& tilt(double dx, double dy, double dz, double seconds);

    const std::vector<MotionSample>& samples() const { return stream; }
    // Timestamp of the next sample.
    double now() const { return startTime + static_cast<double>(index) / rate; }
    double sampleRate() const { return rate; }

private:
    void emit(double devX, double devY, double devZ);
    void pulse(int samples, double verticalShare, const std::vector<double>& deviations);
    double nextNoise();
    int samplesFor(double seconds) const;

    double rate;
    double noise;
    double startTime;
    std::uint64_t state;
    std::int64_t index = 0;
    double gx = 0, gy = 0, gz = -1;
    std::vector<MotionSample> stream;
};

} // namespace knokle
