#pragma once

#include "sensing/AccelerometerDetector.h"

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace knokle {

// Turns accelerometer samples into impacts: short, sharp, mostly vertical taps on the chassis. Its verdicts, in
// the order the rules are tried: noise, under-threshold, amplitude, duration, sideways, slow rise, held, accept.
class SlapDetector : public AccelerometerDetector {
public:
    double lastFire = 0; // s: end of the last substantial event

    static constexpr double refractory = 0.14;
    static constexpr double maxTapAmplitude = 0.2;
    static constexpr double maxRiseTime = 0.009;
    static constexpr double minVerticalShare = 0.55;
    static constexpr double minTapDuration = 0.005;
    static constexpr double silenceFloor = 0.045;
    static constexpr double silenceMinDuration = 0.03;

    void ingest(double x, double y, double z, double timestamp);
    void reset();
    // Deviation below which an event ends; it does not follow sequenceActive.
    double releaseLevel() const;
    // Longest event that can still be a tap at this level.
    double longestTap() const;

    bool inEvent() const { return eventInProgress; }
    // The verdict of the last event that ended, if any ended since construction.
    std::optional<Verdict> lastVerdict() const { return verdict; }


private:
    void endEvent(double t);
    Verdict judge(double duration, double rise) const;
    void logVerdict(Verdict verdict, double duration, double rise, double gapMs, bool hasGap);
    void logRefractory(double deviation, double sinceFire);

    double bx = 0, by = 0, bz = 0;
    bool baselineReady = false;
    bool eventInProgress = false; // inEvent
    double eventPeak = 0;
    double eventStart = 0;
    double eventPeakAt = 0;
    std::optional<double> previousEventStart;
    std::optional<double> silenceBelowSince;
    bool sawSilenceSinceAccept = true;
    double lastBlockLog = 0;
    std::optional<double> eventThresholdAt;
    double peakDZ = 0;
    std::optional<Verdict> verdict;
};

} // namespace knokle
