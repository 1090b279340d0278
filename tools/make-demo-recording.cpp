// Writes the bundled demo recording: a laptop at rest that gets a one-tap, a two-tap and a three-tap
// gesture (firm taps, level 2), with a sideways knock and a slow push in between that must not count.
//
//   knokle_make_demo_recording share/demo/gestures.rec

#include "sensing/MotionSensor.h"
#include "sensing/ReportRecording.h"
#include "sensing/SyntheticMotion.h"

#include <cstdio>
#include <fstream>

using namespace knokle;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
        return 2;
    }
    TapShape firm{.peak = 0.16, .duration = 0.008, .rise = 0.002, .verticalShare = 0.95};
    SyntheticMotion motion(1000, 7, 0.0015);
    motion.rest(1.0).tap(firm).rest(2.5);  // one tap
    motion.sidewaysKnock(0.15).rest(1.5);  // the desk bumped from the side
    motion.taps(2, 0.3, firm).rest(2.5);   // two taps
    motion.slowPush(0.15, 0.05).rest(1.5); // leaning on the palm rest
    motion.taps(3, 0.28, firm).rest(2.0);  // three taps

    std::vector<RecordedReport> reports;
    reports.reserve(motion.samples().size());
    for (const auto& sample : motion.samples())
        reports.push_back({sample.t, encodeReport(sample.x, sample.y, sample.z)});

    std::ofstream out(argv[1]);
    out << "# Knokle demo: one, two and three firm taps (level 2), a sideways knock and a slow push.\n";
    writeRecording(out, reports);
    return out.good() ? 0 : 1;
}
