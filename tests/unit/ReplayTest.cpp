#include "LineCapture.h"
#include "TempDir.h"
#include "VirtualLoop.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReplaySource.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace knokle;
using knokle::test::LineCapture;
using knokle::test::TempDir;
using knokle::test::VirtualLoop;

namespace {

constexpr double kReplayStart = 760000000.0;

struct Delivered {
    double z;
    double timestamp;
    double elapsed; // virtual seconds since the loop began
};

// A sensor fed by a replay of the given text, as the composition root wires them.
struct ReplayRun {
    TempDir dir;
    VirtualLoop loop;
    std::filesystem::path file;
    std::unique_ptr<ReplaySource> replay;
    std::unique_ptr<MotionSensor> sensor;
    std::vector<Delivered> delivered;
    int finished = 0;
    int unavailable = 0;

    ReplayRun(const std::string& text, double speed, const std::string& name = "taps.rec") {
        file = dir / name;
        std::ofstream(file) << text;
        open(speed);
    }
    explicit ReplayRun(std::filesystem::path missing) : file(std::move(missing)) { open(1.0); }

    void open(double speed) {
        replay = std::make_unique<ReplaySource>(loop, file, speed, [] { return kReplayStart; });
        replay->onFinished = [this] { ++finished; };
        sensor =
            std::make_unique<MotionSensor>(replay->managerFactory(), [this] { return replay->currentReportTime(); });
        sensor->onSample = [this](double, double, double z, double t) { delivered.push_back({z, t, loop.elapsed()}); };
        sensor->onUnavailable = [this] { ++unavailable; };
    }
};

std::string line(double offset, double z) {
    auto bytes = encodeReport(0, 0, z);
    return formatReportLine(offset, bytes.data(), bytes.size()) + "\n";
}

std::string fourReports() {
    return line(0.0, 1.0) + line(0.010, 2.0) + line(0.0125, 3.0) + line(0.5, 4.0);
}

} // namespace

TEST(Replay, RunsTheSensorsStartSequenceAgainstOneDevice) {
    LineCapture capture;
    ReplayRun run(fourReports(), 1.0, "knock.rec");
    run.sensor->start();
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "[MotionSensor] IOHIDManagerOpen result: 0 (0 = success)");
    EXPECT_EQ(lines[1], "[MotionSensor] Matched 1 SPU accelerometer device(s).");
    EXPECT_EQ(lines[2], "[MotionSensor] Using accelerometer - product: Recording knock.rec, transport: Replay");
    EXPECT_EQ(lines[3], "[MotionSensor] Direct device open result: 0");
}

TEST(Replay, DeliversAtRecordedOffsetsScaledBySpeed) {
    const double offsets[] = {0.0, 0.010, 0.0125, 0.5};
    for (double speed : {1.0, 2.0, 0.5}) {
        SCOPED_TRACE(speed);
        ReplayRun run(fourReports(), speed);
        run.sensor->start();
        run.loop.advance(0.0);
        EXPECT_EQ(run.delivered.size(), 1u);
        run.loop.advance(0.0099 / speed);
        EXPECT_EQ(run.delivered.size(), 1u); // nothing early
        run.loop.advance(1.0 / speed);
        ASSERT_EQ(run.delivered.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(run.delivered[i].z, double(i + 1));
            // Never early; reports due close together may wait for one delivery tick (4 ms).
            EXPECT_GE(run.delivered[i].elapsed, offsets[i] / speed - 1e-9);
            EXPECT_LE(run.delivered[i].elapsed, offsets[i] / speed + 0.004 + 1e-9);
            // Stamped on the recording's own timeline, whatever the speed.
            EXPECT_NEAR(run.delivered[i].timestamp, kReplayStart + offsets[i], 1e-6);
        }
        EXPECT_EQ(run.finished, 1);
        EXPECT_TRUE(run.replay->finished());
    }
}

TEST(Replay, SpeedZeroDeliversEverythingInOrderWithoutStarvingTheLoop) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += line(i * 0.00125, i);
    ReplayRun run(text, 0.0);
    run.sensor->start();
    size_t deliveredWhenOtherWorkRan = 0;
    run.loop.post([&] { deliveredWhenOtherWorkRan = run.delivered.size(); });
    run.loop.runPending();
    ASSERT_EQ(run.delivered.size(), 1000u);
    EXPECT_GT(deliveredWhenOtherWorkRan, 0u);
    EXPECT_LT(deliveredWhenOtherWorkRan, 1000u);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(run.delivered[i].z, double(i));
        EXPECT_EQ(run.delivered[i].elapsed, 0.0);
        EXPECT_NEAR(run.delivered[i].timestamp, kReplayStart + i * 0.00125, 1e-6);
    }
    EXPECT_EQ(run.finished, 1);
}

TEST(Replay, CommentsAndBlankLinesAreSkipped) {
    std::string text = "# recorded on a bench\n\n" + line(0.1, 1.0) + "   \n  # indented comment\r\n" + line(0.2, 2.0);
    ReplayRun run(text, 1.0);
    run.sensor->start();
    run.loop.advance(1.0);
    ASSERT_EQ(run.delivered.size(), 2u);
    EXPECT_NEAR(run.delivered[1].elapsed, 0.2, 1e-9);
}

TEST(Replay, MalformedLineStopsTheReplayThereWithOneError) {
    std::string text = line(0.1, 1.0) + "# note\n" + line(0.2, 2.0) + "0.3 00 0g 00\n" + line(0.4, 4.0);
    LineCapture capture;
    ReplayRun run(text, 1.0, "bad.rec");
    run.sensor->start();
    capture.clear();
    run.loop.advance(0.25);
    EXPECT_EQ(run.delivered.size(), 2u);
    EXPECT_EQ(run.finished, 1);
    std::vector<std::string> errors;
    for (const auto& l : capture.lines())
        if (l.rfind("[replay] ", 0) == 0) errors.push_back(l);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "[replay] " + run.file.string() + ":4: byte 2 is not two hex digits: \"0g\"");
    run.loop.advance(5.0);
    EXPECT_EQ(run.delivered.size(), 2u);
    EXPECT_EQ(run.finished, 1);
}

TEST(Replay, MissingFileIsOneErrorAndNoSensor) {
    TempDir dir;
    LineCapture capture;
    ReplayRun run(dir / "absent.rec");
    run.sensor->start();
    run.loop.advance(1.0);
    auto lines = capture.lines();
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "[replay] " + (dir / "absent.rec").string() + ": cannot open: No such file or directory"),
              1);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "[MotionSensor] SPU accelerometer not present on this Mac."),
              lines.end());
    EXPECT_EQ(run.unavailable, 1);
    EXPECT_EQ(run.finished, 1);
    EXPECT_TRUE(run.delivered.empty());
}

TEST(Replay, DestroyedReplayDeliversNothingMore) {
    ReplayRun run(fourReports(), 1.0);
    run.sensor->start();
    run.loop.advance(0.011);
    ASSERT_EQ(run.delivered.size(), 2u);
    run.replay.reset();
    run.loop.advance(1.0);
    EXPECT_EQ(run.delivered.size(), 2u);
    EXPECT_EQ(run.finished, 0);
}

TEST(Replay, InvalidSpeedFallsBackToRealTime) {
    LineCapture capture;
    ReplayRun run(fourReports(), -3.0);
    EXPECT_EQ(capture.lines().at(0), "[replay] Speed -3.0 is not a number of zero or more; using 1.");
    run.sensor->start();
    run.loop.advance(0.011);
    EXPECT_EQ(run.delivered.size(), 2u);
}
