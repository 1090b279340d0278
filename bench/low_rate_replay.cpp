// Low-rate accelerometers: a recording of 1-, 2- and 3-tap gestures whose taps are 0.14-0.2 g, judged at 1 kHz by
// the slap detector and, brought down to 400, 200 and 100 Hz, by the low-rate detector; then a laptop lifted
// and tilted, which must give nothing. Gestures are counted by the real counter on a virtual clock. Prints the
// gestures found at each rate, the weakest tap found and the weakest estimate, and ends with status 1 when a
// rate finds other gestures than 1 kHz.
//
//   build/bench/low_rate_replay

#include "VirtualLoop.h"
#include "sensing/Decimator.h"
#include "sensing/EventLog.h"
#include "sensing/LowRateTapDetector.h"
#include "sensing/SlapCounter.h"
#include "sensing/SlapDetector.h"
#include "sensing/SyntheticMotion.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using namespace knokle;

namespace {

struct Outcome {
    std::vector<int> gestures;
    double weakestFound = 1e9;    // true peak of the weakest tap that was accepted
    double weakestEstimate = 1e9; // its strength as the detector measured it
};

// The taps the recording holds, true peaks in order.
std::vector<double> tapPeaks;

SyntheticMotion gestureRecording() {
    SyntheticMotion motion(1000, 11, 0.0015);
    motion.rest(1.0);
    const double peaks[] = {0.14, 0.2, 0.15, 0.18, 0.16, 0.14, 0.19, 0.17, 0.145, 0.2, 0.155, 0.165};
    const double durations[] = {0.008, 0.006, 0.01, 0.007, 0.009, 0.012};
    int next = 0;
    for (int round = 0; round < 2; ++round) {
        for (int count : {1, 2, 3}) {
            for (int k = 0; k < count; ++k) {
                if (k > 0) motion.rest(0.3);
                double peak = peaks[next % 12];
                motion.tap({.peak = peak, .duration = durations[next % 6], .rise = 0.002, .verticalShare = 0.95});
                tapPeaks.push_back(peak);
                ++next;
            }
            motion.rest(3.0);
        }
    }
    return motion;
}

SyntheticMotion liftedAndTilted() {
    SyntheticMotion motion(1000, 12, 0.0015);
    motion.rest(1.0);
    motion.tilt(0, 0.1, -0.25, 0.3).tilt(0.35, 0.3, 0.1, 0.8).rest(0.5); // lifted, turned
    motion.tilt(-0.35, -0.4, 0.15, 0.6).rest(1.0);                       // put down again
    motion.tilt(0, 0.5, 0.1, 1.5).rest(1.0);                             // lid tilted back
    return motion;
}

template <typename Feed> Outcome run(const SyntheticMotion& motion, Feed feed) {
    test::VirtualLoop loop;
    SlapCounter counter(loop);
    Outcome outcome;
    counter.initialWindow = 1.3;
    counter.maxWindow = 1.8;
    counter.onGesture = [&](int count) { outcome.gestures.push_back(count); };
    double start = motion.samples().front().t;
    std::size_t tap = 0;
    std::vector<std::pair<double, double>> accepted; // time, estimate
    auto impact = [&](double t, double estimate) {
        accepted.emplace_back(t, estimate);
        counter.registerImpact();
    };
    feed(
        motion, [&](double t) { loop.advance(std::max(0.0, t - start - loop.elapsed())); }, impact);
    loop.advance(5.0);
    // Each accepted tap is matched to the recording's taps in order.
    for (const auto& [t, estimate] : accepted) {
        if (tap < tapPeaks.size()) {
            outcome.weakestFound = std::min(outcome.weakestFound, tapPeaks[tap]);
            outcome.weakestEstimate = std::min(outcome.weakestEstimate, estimate);
        }
        ++tap;
    }
    return outcome;
}

Outcome atFullRate(const SyntheticMotion& motion) {
    return run(motion, [](const SyntheticMotion& m, auto advanceTo, auto impact) {
        EventLog quiet("/dev/null", false);
        SlapDetector detector;
        detector.setEventLog(quiet);
        double now = 0;
        detector.onImpact = [&](double) { impact(now, detector.lastAcceptedPeak); };
        for (const auto& s : m.samples()) {
            advanceTo(s.t);
            now = s.t;
            detector.ingest(s.x, s.y, s.z, s.t);
        }
    });
}

Outcome atRate(const SyntheticMotion& motion, double rate) {
    return run(motion, [rate](const SyntheticMotion& m, auto advanceTo, auto impact) {
        EventLog quiet("/dev/null", false);
        LowRateTapDetector detector;
        detector.setEventLog(quiet);
        Decimator decimator(rate);
        double now = 0;
        detector.onImpact = [&](double) { impact(now, detector.lastAcceptedPeak); };
        decimator.onSample = [&](double x, double y, double z, double t) {
            advanceTo(t);
            now = t;
            detector.ingest(x, y, z, t);
        };
        for (const auto& s : m.samples())
            decimator.push(s.x, s.y, s.z, s.t);
    });
}

std::string shown(const std::vector<int>& gestures) {
    std::string text;
    for (int g : gestures)
        text += std::to_string(g) + " ";
    return text.empty() ? "none" : text;
}

} // namespace

int main() {
    SyntheticMotion gestures = gestureRecording();
    SyntheticMotion moved = liftedAndTilted();
    Outcome reference = atFullRate(gestures);
    std::printf("%-8s %-16s %-14s %-16s %s\n", "rate", "gestures", "weakest tap", "its estimate", "lifted+tilted");
    int status = 0;
    for (double rate : {1000.0, 400.0, 200.0, 100.0}) {
        Outcome found = rate == 1000 ? reference : atRate(gestures, rate);
        Outcome movedOutcome = rate == 1000 ? atFullRate(moved) : atRate(moved, rate);
        std::printf("%-8.0f %-16s %-14.3f %-16.3f %s\n", rate, shown(found.gestures).c_str(), found.weakestFound,
                    found.weakestEstimate, shown(movedOutcome.gestures).c_str());
        if (found.gestures != reference.gestures || !movedOutcome.gestures.empty()) status = 1;
    }
    return status;
}
