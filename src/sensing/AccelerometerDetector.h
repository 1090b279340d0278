#pragma once

#include "sensing/Firmness.h"

#include <functional>

namespace knokle {

class EventLog;

// What the accelerometer detectors (1 kHz and low-rate) share: the firmness level and its thresholds, the
// callbacks an accepted tap goes to, the names their verdicts have in the event log, and the log itself.
class AccelerometerDetector {
public:
    // Every way an event can be judged; each detector uses those its rules need.
    enum class Verdict {
        noise,
        underThreshold,
        rejectAmplitude,
        rejectDuration,
        rejectSideways,
        rejectSlowRise,
        rejectHeld,
        rejectSustained,
        accept
    };
    static const char* verdictName(Verdict verdict);

    int level = 2;
    std::function<void(double force)> onImpact;
    std::function<void(double peak)> onAcceptedPeak;
    bool sequenceActive = false;
    double lastAcceptedPeak = 0; // g

    static constexpr double observeFloor = 0.05;

    double levelThreshold() const { return firmnessLevel(level).threshold; }
    // Follow-up taps of a gesture are measured against the previous tap, never below observeFloor.
    double activeThreshold() const {
        return sequenceActive ? followUpThreshold(lastAcceptedPeak, observeFloor) : levelThreshold();
    }

    // Where decisions are logged; the process's standard log unless a test supplies its own.
    void setEventLog(EventLog& log) { eventLog = &log; }

protected:
    AccelerometerDetector();
    EventLog* eventLog;
};

} // namespace knokle
