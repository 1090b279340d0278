#include "sensing/SlapDetector.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "sensing/EventLog.h"
#include "sensing/SyntheticMotion.h"

#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <tuple>

using namespace knokle;
using V = SlapDetector::Verdict;

namespace {

TapShape shape(double peak, double duration, double rise = 0.002, double share = 0.95) {
    return {.peak = peak, .duration = duration, .rise = rise, .verticalShare = share};
}
const TapShape firmTap = shape(0.15, 0.008);

// With `sequence`, an accepted tap opens a gesture, as the counter does, so the taps after it are follow-ups.
struct Rig {
    test::TempDir dir;
    EventLog log{(dir / "events.log").string(), true};
    SlapDetector detector;
    std::vector<V> verdicts;
    std::vector<double> forces, peaks;
    bool sequence = false;

    explicit Rig(int level = 2) {
        detector.level = level;
        detector.setEventLog(log);
        detector.onImpact = [this](double force) {
            forces.push_back(force);
            if (sequence) detector.sequenceActive = true;
        };
        detector.onAcceptedPeak = [this](double peak) { peaks.push_back(peak); };
    }
    void feed(const SyntheticMotion& motion) {
        for (const auto& s : motion.samples()) {
            bool wasInEvent = detector.inEvent();
            detector.ingest(s.x, s.y, s.z, s.t);
            if (wasInEvent && !detector.inEvent()) verdicts.push_back(*detector.lastVerdict());
        }
    }
};

struct Stream {
    const char* name;
    int level;
    std::function<void(SyntheticMotion&)> build;
    std::vector<V> verdicts;
    std::vector<double> forces = {}; // onImpact: the peak over the level's threshold
    bool sequence = false;
};

// Failure messages name the stream, not its bytes.
void PrintTo(const Stream& stream, std::ostream* out) {
    *out << stream.name;
}

class DetectorVerdicts : public testing::TestWithParam<Stream> {};

TEST_P(DetectorVerdicts, StreamIsJudgedAsAPersonWould) {
    const Stream& c = GetParam();
    Rig rig(c.level);
    rig.sequence = c.sequence;
    SyntheticMotion motion(1000, 7, 0.001, 500.0);
    motion.rest(0.5);
    c.build(motion);
    rig.feed(motion.rest(0.5));
    EXPECT_EQ(rig.verdicts, c.verdicts);
    ASSERT_EQ(rig.forces.size(), c.forces.size());
    for (size_t i = 0; i < c.forces.size(); ++i)
        EXPECT_NEAR(rig.forces[i], c.forces[i], 0.05) << i;
    auto reported = std::count(c.verdicts.begin(), c.verdicts.end(), V::accept) +
                    std::count(c.verdicts.begin(), c.verdicts.end(), V::underThreshold);
    EXPECT_EQ(rig.peaks.size(), static_cast<size_t>(reported)) << "the meter hears accepted and too light taps";
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Streams, DetectorVerdicts, testing::Values(
    Stream{"LightSpikeAtLevel2", 2, [](auto& m) { m.tap(shape(0.1, 0.008)); }, {V::underThreshold}},
    Stream{"TwoTapsWithQuietBetween", 2, [](auto& m) { m.taps(2, 0.3, firmTap); }, {V::accept, V::accept},
           {1.25, 1.25}},
    Stream{"Violent", 2, [](auto& m) { m.tap(shape(0.25, 0.008)); }, {V::rejectAmplitude}},
    Stream{"Sideways", 2, [](auto& m) { m.sidewaysKnock(0.15); }, {V::rejectSideways}},
    Stream{"LongTapAtLevel2", 2, [](auto& m) { m.tap(shape(0.15, 0.015)); }, {V::rejectDuration}},
    Stream{"TooLongEvenForLevel1", 1, [](auto& m) { m.tap(shape(0.15, 0.030)); }, {V::rejectDuration}},
    Stream{"SlowRise", 1, [](auto& m) { m.tap(shape(0.1, 0.015, 0.010)); }, {V::rejectSlowRise}},
    Stream{"QuickEnoughRise", 1, [](auto& m) { m.tap(shape(0.1, 0.015, 0.005)); }, {V::accept}, {1.92}},
    // Times out after 0.3 s; the rest of the rumble falls in the refractory period.
    Stream{"Rumble", 2, [](auto& m) { m.rumble(0.15, 0.35); }, {V::rejectDuration}},
    Stream{"HeldTaps", 2, [](auto& m) { m.heldTaps(2, 0.3, firmTap); }, {V::accept, V::rejectHeld}, {1.25}},
    // Starting 0.1 s after the first event ended, whatever its verdict, the second is never judged.
    Stream{"Refractory", 2, [](auto& m) { m.taps(2, 0.108, firmTap); }, {V::accept}, {1.25}},
    Stream{"RefractoryAfterReject", 2, [](auto& m) { m.tap(shape(0.25, 0.008)).rest(0.1).tap(firmTap); },
           {V::rejectAmplitude}},
    // A single loud sample is noise and holds nothing off: a tap 20 ms later is judged.
    Stream{"NoiseThenTap", 2, [](auto& m) { m.tap(shape(0.15, 0.001)).rest(0.019).tap(firmTap); },
           {V::noise, V::accept}, {1.25}},
    // A follow-up tap needs only 45 % of the previous peak, and its force stays relative to the level.
    Stream{"FollowUpInAGesture", 2, [](auto& m) { m.tap(firmTap).rest(0.3).tap(shape(0.09, 0.010)); },
           {V::accept, V::accept}, {1.25, 0.75}, true},
    Stream{"FollowUpUnder45PercentOfTheFirst", 2,
           [](auto& m) { m.tap(shape(0.19, 0.008)).rest(0.3).tap(shape(0.08, 0.010)); },
           {V::accept, V::underThreshold}, {1.58}, true},
    Stream{"SameTapOutsideAGesture", 2, [](auto& m) { m.tap(firmTap).rest(0.3).tap(shape(0.09, 0.010)); },
           {V::accept, V::underThreshold}, {1.25}},
    Stream{"LidTiltsSlowly", 2, [](auto& m) { m.tilt(0, 0.25, 0.25, 5); }, {}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(SlapDetector, ThresholdsFollowTheLevelAndTheGesture) {
    // level, in a gesture, last accepted peak: active threshold, release level
    // clang-format off
    const std::tuple<int, bool, double, double, double> rows[] = {
        {1, false, 0.0, 0.052, 0.0234}, {0, false, 0.0, 0.052, 0.0234}, {3, false, 0.0, 0.12, 0.054},
        {2, true, 0.1, 0.05, 0.054}, {2, true, 0.2, 0.09, 0.054}, {1, true, 0.3, 0.135, 0.0234}};
    // clang-format on
    for (auto [level, sequence, lastPeak, active, release] : rows) {
        SlapDetector detector;
        detector.level = level;
        detector.sequenceActive = sequence;
        detector.lastAcceptedPeak = lastPeak;
        EXPECT_NEAR(detector.activeThreshold(), active, 1e-12) << level << " " << lastPeak;
        EXPECT_NEAR(detector.releaseLevel(), release, 1e-12) << level;
    }
}

TEST(SlapDetector, NonFiniteSamplesAreSkipped) {
    Rig rig;
    SyntheticMotion before(1000, 7, 0.001, 500.0);
    rig.feed(before.rest(0.5));
    rig.detector.ingest(std::nan(""), 0, -1, before.now());
    rig.detector.ingest(0, INFINITY, -1, before.now() + 0.001);
    SyntheticMotion after(1000, 2, 0.001, before.now() + 0.002);
    rig.feed(after.rest(0.1).tap(firmTap).rest(0.1));
    EXPECT_EQ(rig.verdicts, std::vector<V>{V::accept});
}

TEST(SlapDetector, ResetDropsTheEventTheHoldOffAndTheBaseline) {
    Rig rig;
    SyntheticMotion motion(1000, 7, 0.001, 500.0);
    rig.feed(motion.rest(0.5).tap(firmTap).rest(0.2).tap(firmTap));
    ASSERT_TRUE(rig.detector.inEvent());
    rig.detector.sequenceActive = true;

    rig.detector.reset();
    EXPECT_FALSE(rig.detector.inEvent());
    EXPECT_FALSE(rig.detector.sequenceActive);
    EXPECT_EQ(rig.detector.lastAcceptedPeak, 0);
    // The dropped tap gets no verdict; without the reset, a tap 18 ms after it would be held off.
    SyntheticMotion after(1000, 9, 0.001, motion.now());
    rig.feed(after.rest(0.010).tap(firmTap).rest(0.1));
    EXPECT_EQ(rig.verdicts, (std::vector<V>{V::accept, V::accept}));

    // Turned over: after a reset the new position is simply the new rest, not a 2 g jolt.
    rig.detector.reset();
    for (int i = 0; i < 50; ++i)
        rig.detector.ingest(0, 0, 1, after.now() + i * 0.001);
    EXPECT_FALSE(rig.detector.inEvent());
}

// The meter is fed in g, and the event log (what a user sends with a report) says what was measured.
TEST(SlapDetector, TheMeterAndTheEventLogGetTheMeasuredFigures) {
    Rig rig(1);
    SyntheticMotion motion(1000, 1, 0, 1000.0); // no noise, and a pulse that peaks at its first sample
    rig.feed(motion.rest(0.5).tap(shape(0.1, 0.008, 0, 1)).rest(0.1));
    ASSERT_EQ(rig.peaks.size(), 1u);
    EXPECT_NEAR(rig.peaks[0], 0.1, 0.001);
    EXPECT_EQ(readWholeFile(rig.log.path()),
              "ACCEPT           peak=0.100 vert=100% rise=0.0ms dur=8.0ms gap=-- thr=0.05\n");
}

} // namespace
