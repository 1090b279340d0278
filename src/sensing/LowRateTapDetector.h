#pragma once

#include "sensing/AccelerometerDetector.h"

#include <functional>
#include <optional>

namespace knokle {

// Finds taps in the stream of an accelerometer that samples far below the 5-13 ms a tap lasts (20-400 Hz):
// a tap is one to a few samples, often at a fraction of its height. So instead of timing its rise and width,
// a candidate must look like an impulse: over the threshold and back to the floor within a few samples, with
// nothing sustained. Its strength is estimated from the impulse's area, so that it lands on the same scale
// (g of peak) as the 1 kHz detector's and the firmness levels apply unchanged. Its verdicts: noise,
// under-threshold, amplitude, sideways, sustained, accept.
class LowRateTapDetector : public AccelerometerDetector {
public:
    // Below this effective rate taps are invisible or ambiguous: the stream is watched but never judged.
    static constexpr double minUsableRate = 50;
    static constexpr double refractory = 0.14;
    // An impulse is back at the floor within three samples or this long, whichever is longer.
    static constexpr double impulseWindow = 0.03;
    static constexpr int impulseSamples = 3;
    // After something sustained (the laptop lifted, tilted, carried), quiet this long before detecting again.
    static constexpr double settleTime = 0.5;
    // Width of a short tap at full height: turns an impulse's area (g*s) into an equivalent peak in g. A short,
    // firm tap and a longer, lighter one look alike at these rates; this errs towards counting the short one.
    static constexpr double tapWidth = 0.0058;
    // The strength is an estimate, so the ceiling for a tap has room over the 1 kHz detector's.
    static constexpr double maxTapAmplitude = 0.4;
    static constexpr double minVerticalShare = 0.55;

    void ingest(double x, double y, double z, double timestamp);
    void reset();

    // Samples per second measured from the samples' own timestamps; 0 until enough have come.
    double effectiveRate() const;
    bool usable() const { return effectiveRate() >= minUsableRate; }
    // Detection is held off because the stream showed sustained motion.
    bool suspended() const { return isSuspended; }
    // The typical deviation at rest, g per sample.
    double noiseFloor() const { return floor; }
    bool inCandidate() const { return candidateOpen; }
    std::optional<Verdict> lastVerdict() const { return verdict; }


private:
    struct Features {
        double estimate = 0; // g: equivalent peak
        double peak = 0;     // g: largest sample deviation seen
        double vertical = 0; // share of the deviation along gravity
        int samples = 0;
        double duration = 0; // s: first to last sample over the floor
    };

    void restart(double x, double y, double z, double t);
    void trackRate(double dt);
    void followBaseline(double x, double y, double z, double dt, double tau);
    double openLevel() const;
    double releaseLevel() const;
    double impulseLimit() const;
    void closeCandidate(double t);
    Verdict judge(const Features& features) const;
    void log(const char* what, const Features& features);

    bool started = false;
    double lastT = 0;
    double bx = 0, by = 0, bz = 0;
    double floor = 0.004;
    double meanInterval = 0;
    int intervals = 0;

    bool candidateOpen = false;
    double candidateStart = 0;
    double candidateLast = 0;
    double area = 0, verticalArea = 0, peak = 0;
    double previousMagnitude = 0, previousAlong = 0;
    int candidateSamples = 0;

    bool isSuspended = false;
    std::optional<double> quietSince;
    double lastFire = -1e9;
    double lastBlockLog = -1e9;
    std::optional<Verdict> verdict;
};

} // namespace knokle
