#include "sensing/SlapDetector.h"

#include "sensing/EventLog.h"
#include "sensing/Firmness.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace knokle {

namespace {

constexpr double baselineWeight = 0.003; // time constant of about 333 samples
constexpr double releaseShare = 0.45;
constexpr double minReleaseLevel = 0.015;
constexpr double eventTimeout = 0.3;
constexpr double blockLogInterval = 0.05;

} // namespace

double SlapDetector::releaseLevel() const {
    return std::max(levelThreshold() * releaseShare, minReleaseLevel);
}

double SlapDetector::longestTap() const {
    return firmnessLevel(level).longestTap;
}

void SlapDetector::reset() {
    baselineReady = false;
    lastFire = 0;
    eventInProgress = false;
    sequenceActive = false;
    lastAcceptedPeak = 0;
    silenceBelowSince.reset();
    sawSilenceSinceAccept = true;
}

void SlapDetector::ingest(double x, double y, double z, double t) {
    // One bad sample (a damaged recording) would poison the baseline for good; skip it instead.
    if (!std::isfinite(x + y + z + t)) return;
    if (!baselineReady) {
        baselineReady = true;
        bx = x;
        by = y;
        bz = z;
    }
    bx = baselineWeight * x + (1 - baselineWeight) * bx;
    by = baselineWeight * y + (1 - baselineWeight) * by;
    bz = baselineWeight * z + (1 - baselineWeight) * bz;

    double dx = x - bx;
    double dy = y - by;
    double dz = z - bz;
    double d = std::sqrt(dx * dx + dy * dy + dz * dz);

    // A quiet stretch counts only once it has lasted without a break; the sample that opens it never does.
    if (d < silenceFloor) {
        if (!silenceBelowSince) silenceBelowSince = t;
        if (t - *silenceBelowSince >= silenceMinDuration) sawSilenceSinceAccept = true;
    } else {
        silenceBelowSince.reset();
    }

    if (!eventInProgress) {
        if (d <= observeFloor) return;
        double sinceFire = t - lastFire;
        if (sinceFire <= refractory) {
            if (t - lastBlockLog > blockLogInterval) {
                lastBlockLog = t;
                logRefractory(d, sinceFire);
            }
            return;
        }
        eventInProgress = true;
        eventPeak = d;
        eventStart = t;
        eventPeakAt = t;
        peakDZ = std::abs(dz);
        if (d >= activeThreshold()) {
            eventThresholdAt = t;
        } else {
            eventThresholdAt.reset();
        }
        return;
    }

    if (d > eventPeak) {
        eventPeak = d;
        eventPeakAt = t;
        peakDZ = std::abs(dz);
    }
    if (!eventThresholdAt && d >= activeThreshold()) eventThresholdAt = t;
    if (d >= releaseLevel() && t - eventStart <= eventTimeout) return;
    endEvent(t);
}

SlapDetector::Verdict SlapDetector::judge(double duration, double rise) const {
    if (duration < minTapDuration) return Verdict::noise;
    if (eventPeak < activeThreshold()) return Verdict::underThreshold;
    if (eventPeak > maxTapAmplitude) return Verdict::rejectAmplitude;
    if (duration > longestTap()) return Verdict::rejectDuration;
    if (peakDZ / std::max(eventPeak, 0.0001) < minVerticalShare) return Verdict::rejectSideways;
    if (rise > maxRiseTime) return Verdict::rejectSlowRise;
    if (!sawSilenceSinceAccept) return Verdict::rejectHeld;
    return Verdict::accept;
}

void SlapDetector::endEvent(double t) {
    eventInProgress = false;
    double duration = t - eventStart;
    double riseStart = eventThresholdAt.value_or(eventStart);
    double rise = eventPeakAt - riseStart;

    // Every substantial event, whatever its verdict, holds off the next one.
    if (eventPeak >= observeFloor && duration >= minTapDuration) lastFire = t;

    Verdict judged = judge(duration, rise);
    verdict = judged;

    // Noise too becomes the reference for the next gap, though it is never logged.
    bool hasGap = previousEventStart.has_value();
    double gapMs = hasGap ? (eventStart - *previousEventStart) * 1000 : 0;
    previousEventStart = eventStart;

    if (judged != Verdict::noise) logVerdict(judged, duration, rise, gapMs, hasGap);
    if (judged == Verdict::accept || judged == Verdict::underThreshold) {
        if (onAcceptedPeak) onAcceptedPeak(eventPeak);
    }
    if (judged == Verdict::accept) {
        lastAcceptedPeak = eventPeak;
        sawSilenceSinceAccept = false;
        if (onImpact) onImpact(eventPeak / levelThreshold());
    }
}

void SlapDetector::logVerdict(Verdict judged, double duration, double rise, double gapMs, bool hasGap) {
    if (!eventLog->enabled()) return;
    char gap[48];
    if (hasGap) {
        std::snprintf(gap, sizeof gap, "gap=%.0fms", gapMs);
    } else {
        std::snprintf(gap, sizeof gap, "gap=--");
    }
    char line[256];
    int length = std::snprintf(line, sizeof line, "%-16s peak=%.3f vert=%.0f%% rise=%.1fms dur=%.1fms %s thr=%.2f",
                               verdictName(judged), eventPeak, peakDZ * 100 / std::max(eventPeak, 0.0001), rise * 1000,
                               duration * 1000, gap, activeThreshold());
    if (length > 0) eventLog->append({line, std::min(static_cast<size_t>(length), sizeof line - 1)});
}

void SlapDetector::logRefractory(double deviation, double sinceFire) {
    if (!eventLog->enabled()) return;
    char line[128];
    int length = std::snprintf(line, sizeof line, "BLOCKED refractory  peak~%.3f  since-last=%.0fms", deviation,
                               sinceFire * 1000);
    if (length > 0) eventLog->append({line, std::min(static_cast<size_t>(length), sizeof line - 1)});
}

} // namespace knokle
