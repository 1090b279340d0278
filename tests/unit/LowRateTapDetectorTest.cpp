#include "sensing/LowRateTapDetector.h"
#include "TempDir.h"
#include "sensing/Decimator.h"
#include "sensing/EventLog.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReportRecording.h"
#include "sensing/SyntheticMotion.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>

using namespace knokle;
using V = LowRateTapDetector::Verdict;

namespace {

TapShape tapOf(double peak, double duration = 0.008, double share = 0.95) {
    return {.peak = peak, .duration = duration, .rise = 0.002, .verticalShare = share};
}

// A 1 kHz stream brought down to `rate` as a sensor would sample it, then judged.
struct Rig {
    test::TempDir dir;
    EventLog log{(dir / "events.log").string(), true};
    LowRateTapDetector detector;
    Decimator decimator;
    std::vector<V> verdicts;
    std::vector<double> estimates, forces;

    explicit Rig(double rate) : decimator(rate) {
        detector.setEventLog(log);
        detector.onImpact = [this](double force) { forces.push_back(force); };
        decimator.onSample = [this](double x, double y, double z, double t) {
            auto before = detector.lastVerdict();
            bool wasOpen = detector.inCandidate();
            detector.ingest(x, y, z, t);
            if ((wasOpen && !detector.inCandidate()) || detector.lastVerdict() != before)
                if (auto v = detector.lastVerdict(); v && (wasOpen || v == V::rejectSustained)) verdicts.push_back(*v);
        };
        detector.onAcceptedPeak = [this](double peak) { estimates.push_back(peak); };
    }
    void feed(const SyntheticMotion& motion) {
        for (const auto& s : motion.samples())
            decimator.push(s.x, s.y, s.z, s.t);
    }
    std::string logText() const {
        std::ifstream in(log.path());
        return {std::istreambuf_iterator<char>(in), {}};
    }
};

struct Stream {
    const char* name;
    std::function<void(SyntheticMotion&)> build;
    std::vector<V> verdicts;
};

class LowRateVerdicts : public testing::TestWithParam<std::tuple<double, Stream>> {};

TEST_P(LowRateVerdicts, StreamIsJudgedAtEachRate) {
    auto [rate, c] = GetParam();
    Rig rig(rate);
    SyntheticMotion motion(1000, 3, 0.0015, 100.0);
    motion.rest(1.0);
    c.build(motion);
    rig.feed(motion.rest(1.0));
    EXPECT_EQ(rig.verdicts, c.verdicts) << rig.logText();
    EXPECT_NEAR(rig.detector.effectiveRate(), rate, rate * 0.01);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Streams, LowRateVerdicts, testing::Combine(testing::Values(100.0, 200.0, 400.0), testing::Values(
    Stream{"FirmTap", [](auto& m) { m.tap(tapOf(0.15)); }, {V::accept}},
    Stream{"TwoTapsOfAGesture", [](auto& m) { m.taps(2, 0.3, tapOf(0.14)); }, {V::accept, V::accept}},
    Stream{"LightTapAtLevel2", [](auto& m) { m.tap(tapOf(0.08)); }, {V::underThreshold}},
    Stream{"SidewaysKnock", [](auto& m) { m.sidewaysKnock(0.15); }, {V::rejectSideways}},
    Stream{"Blow", [](auto& m) { m.tap(tapOf(0.5)); }, {V::rejectAmplitude}},
    Stream{"SlowPush", [](auto& m) { m.slowPush(0.15, 0.05); }, {V::rejectSustained}},
    Stream{"LiftedAndTilted", [](auto& m) { m.tilt(0, 0.15, -0.2, 0.25).tilt(0.3, 0.2, 0.1, 0.6); },
           {V::rejectSustained}})),
    [](const auto& info) {
        return std::get<1>(info.param).name + std::to_string(static_cast<int>(std::get<0>(info.param))) + "Hz";
    });
// clang-format on

TEST(LowRateTapDetector, StrengthLandsOnTheOneKilohertzScale) {
    for (double rate : {100.0, 200.0, 400.0}) {
        for (double peak : {0.14, 0.2}) {
            Rig rig(rate);
            SyntheticMotion motion(1000, 5, 0.0015);
            rig.feed(motion.rest(1.0).tap(tapOf(peak)).rest(0.5));
            ASSERT_EQ(rig.estimates.size(), 1u) << rate;
            EXPECT_NEAR(rig.estimates[0], peak, peak * 0.15) << rate << " Hz";
        }
    }
}

TEST(LowRateTapDetector, TooSlowAStreamIsNeverJudged) {
    Rig rig(30);
    SyntheticMotion motion(1000, 5, 0.0015);
    Rig early(30);
    early.feed(SyntheticMotion(1000, 5, 0.0015).rest(0.2)); // six samples: too few to tell the rate
    EXPECT_EQ(early.detector.effectiveRate(), 0);
    rig.feed(motion.rest(1.0).taps(3, 0.4, tapOf(0.2)).rest(0.5));
    EXPECT_TRUE(rig.verdicts.empty());
    EXPECT_FALSE(rig.detector.usable());
    EXPECT_NEAR(rig.detector.effectiveRate(), 30, 0.5);
}

TEST(LowRateTapDetector, MovedLaptopSuspendsDetectionUntilStillAgain) {
    Rig rig(100);
    SyntheticMotion motion(1000, 5, 0.0015);
    motion.rest(1.0).tilt(0.4, 0, 0.1, 0.5);
    motion.rest(0.2).tap(tapOf(0.16)); // still settling: ignored
    rig.feed(motion);
    EXPECT_TRUE(rig.detector.suspended());
    EXPECT_TRUE(rig.forces.empty());
    rig.feed(motion.rest(0.8).tap(tapOf(0.16)).rest(0.3));
    EXPECT_FALSE(rig.detector.suspended());
    EXPECT_EQ(rig.forces.size(), 1u);
}

TEST(LowRateTapDetector, RefractoryTimeHoldsOffAnEcho) {
    Rig rig(200);
    SyntheticMotion motion(1000, 5, 0.0015);
    rig.feed(motion.rest(1.0).taps(2, 0.08, tapOf(0.16)).rest(0.5));
    EXPECT_EQ(rig.forces.size(), 1u);
    EXPECT_NE(rig.logText().find("low-rate BLOCKED refractory"), std::string::npos) << "held off, not judged";
}

TEST(Decimator, DeliversTheRateAskedWithAreaKeptAtAnyPhase) {
    for (double offset : {0.0, 0.0013, 0.0047, 0.0081}) {
        Decimator decimator(100);
        std::vector<double> times, values;
        decimator.onSample = [&](double, double, double z, double t) {
            times.push_back(t);
            values.push_back(z);
        };
        for (int i = 0; i <= 1000; ++i) {
            double t = i * 0.001;
            bool inPulse = t >= 0.5 + offset && t < 0.508 + offset;
            decimator.push(0, 0, inPulse ? 1.0 : 0.0, t);
        }
        ASSERT_GE(times.size(), 99u);
        EXPECT_NEAR(times[1] - times[0], 0.01, 1e-9);
        double area = 0;
        for (double v : values)
            area += v * 0.01;
        EXPECT_NEAR(area, 0.008, 1e-9) << offset;
        EXPECT_LT(*std::max_element(values.begin(), values.end()), 0.8) << "a sample never holds the whole tap";
    }
}

// The bundled demo, brought down to each rate, holds the same six taps the 1 kHz detector finds.
TEST(LowRateTapDetector, DemoRecordingKeepsItsTapsAtLowRates) {
    for (double rate : {100.0, 200.0, 400.0}) {
        Rig rig(rate);
        std::ifstream in(std::string(KNOKLE_SOURCE_DIR) + "/share/demo/gestures.rec");
        RecordingReader reader(in, "gestures.rec");
        RecordedReport report;
        while (reader.next(report)) {
            auto s = decodeReport(report.bytes.data(), static_cast<long>(report.bytes.size()));
            ASSERT_TRUE(s);
            rig.decimator.push(s->x, s->y, s->z, report.offset);
        }
        EXPECT_EQ(rig.forces.size(), 6u) << rate << " Hz\n" << rig.logText();
    }
}

} // namespace
