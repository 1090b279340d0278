#include "sensing/SlapDetector.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "sensing/EventLog.h"
#include "sensing/SyntheticMotion.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <regex>
#include <sstream>

using namespace knokle;
using Verdict = SlapDetector::Verdict;

namespace knokle {
void PrintTo(SlapDetector::Verdict verdict, std::ostream* out) {
    *out << SlapDetector::verdictName(verdict);
}
} // namespace knokle

namespace {

struct Outcome {
    std::vector<Verdict> verdicts; // one per ended event, in order
    std::vector<double> forces;    // onImpact
    std::vector<double> peaks;     // onAcceptedPeak
};

void attach(SlapDetector& detector, Outcome& out) {
    detector.onImpact = [&out](double force) { out.forces.push_back(force); };
    detector.onAcceptedPeak = [&out](double peak) { out.peaks.push_back(peak); };
}

void feed(SlapDetector& detector, const std::vector<MotionSample>& samples, Outcome& out) {
    for (const auto& s : samples) {
        bool wasInEvent = detector.inEvent();
        detector.ingest(s.x, s.y, s.z, s.t);
        if (wasInEvent && !detector.inEvent()) out.verdicts.push_back(*detector.lastVerdict());
    }
}

const TapShape firmTap{.peak = 0.15, .duration = 0.008, .rise = 0.002, .verticalShare = 0.95};

SyntheticMotion quietStart(double noise = 0.001) {
    SyntheticMotion motion(1000, 7, noise, 500.0);
    motion.rest(0.5);
    return motion;
}

std::vector<std::string> lines(const std::filesystem::path& file) {
    std::vector<std::string> result;
    std::istringstream in(readWholeFile(file).value_or(""));
    for (std::string line; std::getline(in, line);)
        result.push_back(line);
    return result;
}

struct VerdictCase {
    const char* name;
    int level;
    std::function<void(SyntheticMotion&)> build;
    std::vector<Verdict> expected;
};

void PrintTo(const VerdictCase& c, std::ostream* out) {
    *out << c.name;
}

class DetectorVerdicts : public testing::TestWithParam<VerdictCase> {};

TEST_P(DetectorVerdicts, StreamIsJudgedAsAPersonWould) {
    const VerdictCase& c = GetParam();
    EventLog off("/nonexistent/knokle-test.log", false);
    SlapDetector detector;
    detector.setEventLog(off);
    detector.level = c.level;
    Outcome out;
    attach(detector, out);
    SyntheticMotion motion = quietStart();
    c.build(motion);
    motion.rest(0.5);
    feed(detector, motion.samples(), out);
    EXPECT_EQ(out.verdicts, c.expected);
    EXPECT_EQ(out.forces.size(),
              static_cast<size_t>(std::count(c.expected.begin(), c.expected.end(), Verdict::accept)));
}

TapShape shape(double peak, double duration, double rise = 0.002, double share = 0.95) {
    return {.peak = peak, .duration = duration, .rise = rise, .verticalShare = share};
}

using V = Verdict;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Streams, DetectorVerdicts, testing::Values(
    VerdictCase{"LightSpikeAtLevel1", 1, [](auto& m) { m.tap(shape(0.1, 0.008)); }, {V::accept}},
    VerdictCase{"LightSpikeAtLevel2", 2, [](auto& m) { m.tap(shape(0.1, 0.008)); }, {V::underThreshold}},
    VerdictCase{"LightSpikeAtLevel3", 3, [](auto& m) { m.tap(shape(0.1, 0.008)); }, {V::underThreshold}},
    VerdictCase{"TwoTapsWithQuietBetween", 2, [](auto& m) { m.taps(2, 0.3, firmTap); }, {V::accept, V::accept}},
    VerdictCase{"Violent", 2, [](auto& m) { m.tap(shape(0.25, 0.008)); }, {V::rejectAmplitude}},
    VerdictCase{"Sideways", 2, [](auto& m) { m.sidewaysKnock(0.15); }, {V::rejectSideways}},
    VerdictCase{"LongTapAtLevel2", 2, [](auto& m) { m.tap(shape(0.15, 0.015)); }, {V::rejectDuration}},
    VerdictCase{"LongTapAtLevel1", 1, [](auto& m) { m.tap(shape(0.15, 0.015)); }, {V::accept}},
    VerdictCase{"TooLongEvenForLevel1", 1, [](auto& m) { m.tap(shape(0.15, 0.030)); }, {V::rejectDuration}},
    VerdictCase{"SlowRise", 1, [](auto& m) { m.tap(shape(0.1, 0.015, 0.010)); }, {V::rejectSlowRise}},
    VerdictCase{"QuickEnoughRise", 1, [](auto& m) { m.tap(shape(0.1, 0.015, 0.005)); }, {V::accept}},
    VerdictCase{"SlowPush", 2, [](auto& m) { m.slowPush(0.15, 0.04); }, {V::rejectDuration}},
    // Times out after 0.3 s; the rest of the rumble falls in the refractory period.
    VerdictCase{"Rumble", 2, [](auto& m) { m.rumble(0.15, 0.35); }, {V::rejectDuration}},
    VerdictCase{"HeldTaps", 2, [](auto& m) { m.heldTaps(2, 0.3, firmTap); }, {V::accept, V::rejectHeld}},
    // Starting 0.1 s after the first event ended, whatever its verdict, the second is never judged.
    VerdictCase{"Refractory", 2, [](auto& m) { m.taps(2, 0.108, firmTap); }, {V::accept}},
    VerdictCase{"RefractoryAfterReject", 2, [](auto& m) { m.tap(shape(0.25, 0.008)).rest(0.1).tap(firmTap); },
                {V::rejectAmplitude}},
    // A single loud sample is noise and holds nothing off: a tap 20 ms later is judged.
    VerdictCase{"NoiseThenTap", 2, [](auto& m) { m.tap(shape(0.15, 0.001)).rest(0.019).tap(firmTap); },
                {V::noise, V::accept}},
    VerdictCase{"RestOnly", 2, [](auto& m) { m.rest(10); }, {}},
    VerdictCase{"LidTiltsSlowly", 2, [](auto& m) { m.tilt(0, 0.25, 0.25, 5); }, {}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST(SlapDetector, LightSpikeForceAndPeakDependOnLevel) {
    EventLog off("/nonexistent/knokle-test.log", false);
    for (int level : {1, 2}) {
        SCOPED_TRACE(level);
        SlapDetector detector;
        detector.setEventLog(off);
        detector.level = level;
        Outcome out;
        attach(detector, out);
        SyntheticMotion motion = quietStart();
        motion.tap(shape(0.1, 0.008)).rest(0.1);
        feed(detector, motion.samples(), out);
        ASSERT_EQ(out.peaks.size(), 1u);
        EXPECT_NEAR(out.peaks[0], 0.1, 0.003);
        if (level == 1) {
            ASSERT_EQ(out.forces.size(), 1u);
            EXPECT_NEAR(out.forces[0], 1.92, 0.05);
            EXPECT_DOUBLE_EQ(detector.lastAcceptedPeak, out.peaks[0]);
        } else {
            EXPECT_TRUE(out.forces.empty());
            EXPECT_EQ(detector.lastAcceptedPeak, 0);
        }
    }
}

TEST(SlapDetector, FirstSampleBecomesTheBaselineWhateverTheOrientation) {
    SlapDetector detector;
    EventLog off("/nonexistent/knokle-test.log", false);
    detector.setEventLog(off);
    // Lying on its side: gravity along x. The first sample must not look like a 1.4 g jolt.
    for (int i = 0; i < 200; ++i) {
        detector.ingest(-1, 0, 0, 10 + i * 0.001);
        ASSERT_FALSE(detector.inEvent()) << i;
    }
    EXPECT_FALSE(detector.lastVerdict().has_value());

    // Turned over: after a reset the new position is simply the new rest.
    detector.reset();
    for (int i = 0; i < 200; ++i) {
        detector.ingest(0, 0, 1, 20 + i * 0.001);
        ASSERT_FALSE(detector.inEvent()) << i;
    }
}

TEST(SlapDetector, NonFiniteSampleIsSkipped) {
    EventLog off("/nonexistent/knokle-test.log", false);
    SlapDetector detector;
    detector.setEventLog(off);
    Outcome out;
    attach(detector, out);
    SyntheticMotion before = quietStart();
    feed(detector, before.samples(), out);
    detector.ingest(std::nan(""), 0, -1, before.now());
    detector.ingest(0, std::numeric_limits<double>::infinity(), -1, before.now() + 0.001);
    SyntheticMotion after(1000, 2, 0.001, before.now() + 0.002);
    after.rest(0.1).tap(firmTap).rest(0.1);
    feed(detector, after.samples(), out);
    EXPECT_EQ(out.verdicts, std::vector<Verdict>{Verdict::accept});
    ASSERT_EQ(out.forces.size(), 1u);
    EXPECT_NEAR(out.forces[0], 0.15 / 0.12, 0.05);
}

TEST(SlapDetector, FollowUpTapOfAGestureNeedsOnlyPartOfThePreviousPeak) {
    EventLog off("/nonexistent/knokle-test.log", false);
    for (bool inSequence : {false, true}) {
        SCOPED_TRACE(inSequence);
        SlapDetector detector;
        detector.setEventLog(off);
        Outcome out;
        attach(detector, out);
        SyntheticMotion motion = quietStart();
        motion.tap(firmTap).rest(0.3);
        feed(detector, motion.samples(), out);
        ASSERT_EQ(out.forces.size(), 1u);
        detector.sequenceActive = inSequence;
        SyntheticMotion follow(1000, 3, 0.001, motion.now());
        follow.tap(shape(0.09, 0.010)).rest(0.3);
        feed(detector, follow.samples(), out);
        ASSERT_EQ(out.verdicts.size(), 2u);
        if (inSequence) {
            EXPECT_EQ(out.verdicts[1], Verdict::accept);
            ASSERT_EQ(out.forces.size(), 2u);
            // Still measured against the level's threshold, so below 1.
            EXPECT_NEAR(out.forces[1], 0.09 / 0.12, 0.03);
        } else {
            EXPECT_EQ(out.verdicts[1], Verdict::underThreshold);
        }
    }
}

TEST(SlapDetector, ActiveThresholdAndReleaseLevel) {
    struct Case {
        int level;
        bool sequence;
        double lastPeak, active, release;
    };
    for (const Case& c :
         {Case{1, false, 0, 0.052, 0.0234}, Case{0, false, 0, 0.052, 0.0234}, Case{3, false, 0, 0.12, 0.054},
          Case{2, true, 0.1, 0.05, 0.054}, Case{2, true, 0.2, 0.09, 0.054}, Case{1, true, 0.3, 0.135, 0.0234}}) {
        SCOPED_TRACE(testing::Message() << c.level << " " << c.sequence << " " << c.lastPeak);
        SlapDetector detector;
        detector.level = c.level;
        detector.sequenceActive = c.sequence;
        detector.lastAcceptedPeak = c.lastPeak;
        EXPECT_NEAR(detector.activeThreshold(), c.active, 1e-12);
        EXPECT_NEAR(detector.releaseLevel(), c.release, 1e-12);
    }
}

TEST(SlapDetector, ResetDropsTheEventAndTheHoldOff) {
    EventLog off("/nonexistent/knokle-test.log", false);
    SlapDetector detector;
    detector.setEventLog(off);
    Outcome out;
    attach(detector, out);
    SyntheticMotion motion = quietStart();
    motion.tap(firmTap).rest(0.2).tap(firmTap);
    feed(detector, motion.samples(), out);
    ASSERT_TRUE(detector.inEvent());
    ASSERT_EQ(out.verdicts, std::vector<Verdict>{Verdict::accept});
    detector.sequenceActive = true;

    detector.reset();
    EXPECT_FALSE(detector.inEvent());
    EXPECT_FALSE(detector.sequenceActive);
    EXPECT_EQ(detector.lastAcceptedPeak, 0);

    // The dropped tap gets no verdict. A tap 18 ms after it would be held off by the tap's end and would
    // lack the quiet since the last accept; after the reset it is simply accepted.
    SyntheticMotion after(1000, 9, 0.001, motion.now());
    after.rest(0.010).tap(firmTap).rest(0.1);
    feed(detector, after.samples(), out);
    EXPECT_EQ(out.verdicts, (std::vector<Verdict>{Verdict::accept, Verdict::accept}));
    EXPECT_EQ(out.forces.size(), 2u);
}

class DetectorLog : public testing::Test {
protected:
    test::TempDir dir;
    std::filesystem::path file = dir / "events.log";
    EventLog log{file.string(), true};
    SlapDetector detector;
    Outcome out;

    void SetUp() override {
        detector.setEventLog(log);
        attach(detector, out);
    }
};

TEST_F(DetectorLog, VerdictLinesAreExact) {
    detector.level = 1;
    // No noise and pulses that peak at their first sample, so every figure is known. The single loud
    // sample is noise: never logged, but the next gap is measured from it.
    SyntheticMotion motion(1000, 1, 0, 1000.0);
    motion.rest(0.5).tap(shape(0.1, 0.008, 0, 1)).rest(0.992);
    motion.tap(shape(0.15, 0.001)).rest(0.999);
    motion.tap(shape(0.1, 0.008, 0, 1)).rest(0.992);
    motion.tap(shape(0.15, 0.006, 0, 0.4)).rest(0.1);
    feed(detector, motion.samples(), out);
    detector.level = 2;
    SyntheticMotion firmer(1000, 1, 0, motion.now());
    firmer.rest(0.894).tap(shape(0.1, 0.008, 0, 1)).rest(0.1);
    feed(detector, firmer.samples(), out);
    EXPECT_EQ(lines(file), (std::vector<std::string>{
                               "ACCEPT           peak=0.100 vert=100% rise=0.0ms dur=8.0ms gap=-- thr=0.05",
                               "ACCEPT           peak=0.100 vert=100% rise=0.0ms dur=8.0ms gap=1000ms thr=0.05",
                               "REJECT sideways  peak=0.150 vert=40% rise=0.0ms dur=6.0ms gap=1000ms thr=0.05",
                               "under-threshold  peak=0.100 vert=100% rise=0.0ms dur=8.0ms gap=1000ms thr=0.12",
                           }));
}

TEST_F(DetectorLog, RefractoryLinesAtMostOnePer50ms) {
    SyntheticMotion motion(1000, 1, 0, 1000.0);
    motion.rest(0.5).tap(firmTap).rest(0.001);
    // 130 ms of shaking right after the tap, inside the 140 ms hold-off: three lines, not 130.
    motion.rumble(0.07, 0.130).rest(0.3);
    feed(detector, motion.samples(), out);
    auto logged = lines(file);
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_EQ(logged[0].substr(0, 6), "ACCEPT");
    const std::regex blocked(R"(BLOCKED refractory  peak~0\.0\d\d  since-last=(\d+)ms)");
    std::vector<int> since;
    for (size_t i = 1; i < logged.size(); ++i) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(logged[i], match, blocked)) << logged[i];
        since.push_back(std::stoi(match[1]));
    }
    ASSERT_EQ(since.size(), 3u);
    EXPECT_EQ(since[0], 1);
    for (size_t i = 1; i < since.size(); ++i) {
        EXPECT_GE(since[i] - since[i - 1], 50);
        EXPECT_LE(since[i] - since[i - 1], 51);
    }
}

} // namespace
