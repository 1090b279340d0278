#pragma once

#include "VirtualLoop.h"
#include "sensing/EventLog.h"
#include "sensing/Firmness.h"
#include "sensing/SlapCounter.h"
#include "sensing/SoundTapDetector.h"

#include <algorithm>
#include <string>
#include <vector>

namespace knokle::test {

// The sound detector and the tap counter wired as the pipeline wires them, on a virtual loop whose clock is
// the clip's: each chunk of audio is fed at the time its last frame was captured.
struct SoundRig {
    VirtualLoop loop;
    EventLog log;
    SoundTapDetector detector;
    SlapCounter counter{loop};
    std::vector<int> gestures;
    std::vector<double> gestureTimes; // clip seconds at which each gesture closed
    std::vector<double> impactTimes; // clip seconds at which the detector reported each impact
    double fed = 0;                  // clip seconds fed so far

    explicit SoundRig(int level = 2, std::string logPath = "/dev/null", bool logging = false)
        : log(std::move(logPath), logging) {
        const FirmnessLevel& row = firmnessLevel(level);
        detector.level = row.level;
        detector.setEventLog(log);
        counter.initialWindow = row.initialWindow;
        counter.maxWindow = row.maxWindow;
        detector.onImpact = [this](double) {
            impactTimes.push_back(detector.lastVerdictTime());
            counter.registerImpact();
        };
        counter.onCountChanged = [this](int) { detector.sequenceActive = true; };
        counter.onGesture = [this](int count) {
            detector.sequenceActive = false;
            gestures.push_back(count);
            gestureTimes.push_back(loop.elapsed());
        };
    }

    // Feeds interleaved frames in 10 ms chunks, as a capture stream delivers them, then lets the counter settle.
    void feed(const std::vector<float>& frames, int channels, double rate, double settle = 4) {
        auto chunk = static_cast<std::size_t>(rate / 100);
        std::size_t total = frames.size() / static_cast<std::size_t>(channels);
        for (std::size_t at = 0; at < total; at += chunk) {
            std::size_t n = std::min(chunk, total - at);
            double start = fed;
            fed += static_cast<double>(n) / rate;
            loop.advance(fed - loop.elapsed());
            detector.ingest(frames.data() + at * static_cast<std::size_t>(channels), n, channels, rate, start);
        }
        loop.advance(settle);
    }
};

} // namespace knokle::test
