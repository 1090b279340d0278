#include "sensing/LowRateTapDetector.h"

#include "sensing/EventLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace knokle {
namespace {

constexpr double baselineTau = 0.3;  // s: follows gravity and slow tilts, not taps
constexpr double settlingTau = 0.05; // s: while suspended the baseline catches up with the new orientation
constexpr double floorTau = 2.0;     // s
constexpr double minFloor = 0.0005;  // g: a quantised or synthetic stream can be quieter than any real one
constexpr double maxFloor = 0.03;    // g: above this nothing short of a blow would count
constexpr double openShare = 3.5;    // of the floor: where a candidate starts
constexpr double releaseShare = 2.0; // of the floor: back at the floor
constexpr double minOpenLevel = 0.012;
constexpr double minReleaseLevel = 0.006;
constexpr double rateWeight = 1.0 / 16;
constexpr int minIntervals = 8;
constexpr double maxGap = 0.5; // s: a stream that paused this long starts afresh
constexpr double blockLogInterval = 0.05;

double blend(double tau, double dt) {
    return 1 - std::exp(-dt / tau);
}

} // namespace

double LowRateTapDetector::effectiveRate() const {
    return intervals >= minIntervals && meanInterval > 0 ? 1 / meanInterval : 0;
}

double LowRateTapDetector::openLevel() const {
    return std::max(floor * openShare, minOpenLevel);
}

double LowRateTapDetector::releaseLevel() const {
    return std::max(floor * releaseShare, minReleaseLevel);
}

double LowRateTapDetector::impulseLimit() const {
    return std::max(impulseWindow, impulseSamples * meanInterval);
}

void LowRateTapDetector::reset() {
    started = false;
    candidateOpen = false;
    isSuspended = false;
    quietSince.reset();
    sequenceActive = false;
    lastAcceptedPeak = 0;
    lastFire = -1e9;
}

void LowRateTapDetector::restart(double x, double y, double z, double t) {
    started = true;
    lastT = t;
    bx = x;
    by = y;
    bz = z;
    candidateOpen = false;
    previousMagnitude = 0;
}

void LowRateTapDetector::trackRate(double dt) {
    meanInterval = intervals == 0 ? dt : meanInterval + (dt - meanInterval) * rateWeight;
    ++intervals;
}

void LowRateTapDetector::followBaseline(double x, double y, double z, double dt, double tau) {
    double w = blend(tau, dt);
    bx += (x - bx) * w;
    by += (y - by) * w;
    bz += (z - bz) * w;
}

void LowRateTapDetector::ingest(double x, double y, double z, double t) {
    if (!std::isfinite(x + y + z + t)) return;
    if (!started) {
        restart(x, y, z, t);
        return;
    }
    double dt = t - lastT;
    if (dt <= 0) return; // a repeated or out-of-order stamp says nothing new
    trackRate(dt);
    if (dt > maxGap) {
        restart(x, y, z, t);
        return;
    }
    lastT = t;

    // Against the baseline before this sample: gravity and the laptop's orientation drop out.
    double dx = x - bx, dy = y - by, dz = z - bz;
    double magnitude = std::sqrt(dx * dx + dy * dy + dz * dz);
    double g = std::sqrt(bx * bx + by * by + bz * bz);
    double along = g > 0.1 ? std::abs(dx * bx + dy * by + dz * bz) / g : magnitude;

    if (!usable()) {
        followBaseline(x, y, z, dt, baselineTau);
        return;
    }

    if (isSuspended) {
        followBaseline(x, y, z, dt, settlingTau);
        if (magnitude >= releaseLevel()) {
            quietSince.reset();
        } else if (!quietSince) {
            quietSince = t;
        } else if (t - *quietSince >= settleTime) {
            isSuspended = false;
            quietSince.reset();
            log("RESUMED", {});
        }
        return;
    }

    if (candidateOpen) {
        if (magnitude >= releaseLevel()) {
            area += magnitude * meanInterval;
            verticalArea += along * meanInterval;
            peak = std::max(peak, magnitude);
            ++candidateSamples;
            candidateLast = t;
            if (t - candidateStart > impulseLimit()) {
                // Not an impulse: the laptop is being moved. Hold off until it has been still for a while.
                candidateOpen = false;
                isSuspended = true;
                quietSince.reset();
                lastFire = t;
                verdict = Verdict::rejectSustained;
                log(verdictName(*verdict), {0, peak, verticalArea / area, candidateSamples, t - candidateStart});
            }
            return;
        }
        closeCandidate(t);
    } else if (magnitude > openLevel()) {
        double sinceFire = t - lastFire;
        if (sinceFire <= refractory) {
            if (t - lastBlockLog > blockLogInterval) {
                lastBlockLog = t;
                log("BLOCKED refractory", {0, magnitude, 0, 1, sinceFire});
            }
            return;
        }
        candidateOpen = true;
        candidateStart = candidateLast = t;
        area = magnitude * meanInterval;
        verticalArea = along * meanInterval;
        peak = magnitude;
        candidateSamples = 1;
        // The sample before may already hold the tap's leading edge.
        if (previousMagnitude >= releaseLevel()) {
            area += previousMagnitude * meanInterval;
            verticalArea += previousAlong * meanInterval;
            ++candidateSamples;
        }
        return;
    }
    previousMagnitude = magnitude;
    previousAlong = along;
    followBaseline(x, y, z, dt, baselineTau);
    floor = std::clamp(floor + (magnitude - floor) * blend(floorTau, dt), minFloor, maxFloor);
}

LowRateTapDetector::Verdict LowRateTapDetector::judge(const Features& features) const {
    if (features.estimate < observeFloor) return Verdict::noise;
    if (features.estimate < activeThreshold()) return Verdict::underThreshold;
    if (features.estimate > maxTapAmplitude) return Verdict::rejectAmplitude;
    if (features.vertical < minVerticalShare) return Verdict::rejectSideways;
    return Verdict::accept;
}

void LowRateTapDetector::closeCandidate(double t) {
    candidateOpen = false;
    // A sample can undershoot a short tap (it fell between samples, or was averaged away), never overshoot it.
    Features features{std::max(peak, area / tapWidth), peak, verticalArea / std::max(area, 1e-12), candidateSamples,
                      candidateLast - candidateStart};
    if (features.estimate >= observeFloor) lastFire = t;
    Verdict judged = judge(features);
    verdict = judged;
    log(verdictName(judged), features);
    if (judged == Verdict::accept || judged == Verdict::underThreshold) {
        if (onAcceptedPeak) onAcceptedPeak(features.estimate);
    }
    if (judged == Verdict::accept) {
        lastAcceptedPeak = features.estimate;
        if (onImpact) onImpact(features.estimate / levelThreshold());
    }
}

void LowRateTapDetector::log(const char* what, const Features& features) {
    if (!eventLog->enabled()) return;
    char line[256];
    int length = std::snprintf(line, sizeof line,
                               "low-rate %-18s est=%.3f peak=%.3f vert=%.0f%% n=%d dur=%.1fms rate=%.0fHz "
                               "floor=%.4f thr=%.2f",
                               what, features.estimate, features.peak, features.vertical * 100, features.samples,
                               features.duration * 1000, effectiveRate(), floor, activeThreshold());
    if (length > 0) eventLog->append({line, std::min(static_cast<size_t>(length), sizeof line - 1)});
}

} // namespace knokle
