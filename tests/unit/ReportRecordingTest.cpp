#include "sensing/ReportRecording.h"
#include "FakeShellServices.h"
#include "LineCapture.h"
#include "TempDir.h"
#include "VirtualLoop.h"
#include "controller/TapPipeline.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReplaySource.h"
#include "sensing/ReportRecorder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

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
    bool operator==(const Delivered&) const = default;
};

// A sensor fed by a replay of the given text. The sensor has no clock of its own: samples take the replay's times.
struct ReplayRun {
    TempDir dir;
    VirtualLoop loop;
    std::filesystem::path file;
    LineCapture lines;
    std::unique_ptr<ReplaySource> replay;
    std::unique_ptr<MotionSensor> sensor;
    std::vector<Delivered> delivered;
    int finished = 0;
    int unavailable = 0;

    explicit ReplayRun(std::optional<std::string> text, double speed = 1.0, const std::string& name = "taps.rec") {
        file = dir / name;
        if (text)
            std::ofstream(file) << *text;
        else
            std::filesystem::create_directory(file);
        replay = std::make_unique<ReplaySource>(loop, file, speed, [] { return kReplayStart; });
        replay->onFinished = [this] { ++finished; };
        sensor = std::make_unique<MotionSensor>(replay->managerFactory(), [] { return 0.0; });
        sensor->onSample = [this](double, double, double z, double t) { delivered.push_back({z, t, loop.elapsed()}); };
        sensor->onUnavailable = [this] { ++unavailable; };
        sensor->start();
    }
    std::vector<std::string> replayLines() const {
        std::vector<std::string> out;
        for (const auto& l : lines.lines())
            if (l.rfind("[replay] ", 0) == 0) out.push_back(l);
        return out;
    }
};

std::string line(double offset, double z) {
    auto bytes = encodeReport(0, 0, z);
    return formatReportLine(offset, bytes.data(), bytes.size()) + "\n";
}

std::pair<std::vector<RecordedReport>, std::optional<std::string>> readAll(std::istream& in, std::string name) {
    RecordingReader reader(in, std::move(name));
    std::vector<RecordedReport> reports;
    for (RecordedReport report; reader.next(report);)
        reports.push_back(report);
    return {reports, reader.error()};
}

const std::string kFourReports = line(0.0, 1.0) + line(0.010, 2.0) + line(0.0125, 3.0) + line(0.5, 4.0);

} // namespace

TEST(Replay, DeliversEachReportAtItsOffsetScaledBySpeedStampedWithItsRecordedTime) {
    const double offsets[] = {0.0, 0.010, 0.0125, 0.5};
    for (double played : {1.0, 2.0, 0.5}) {
        SCOPED_TRACE(played);
        ReplayRun run(kFourReports, played);
        run.loop.advance(0.0099 / played);
        EXPECT_EQ(run.delivered.size(), 1u); // the first at once, nothing early
        run.loop.advance(1.0 / played);
        ASSERT_EQ(run.delivered.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(run.delivered[i].z, double(i + 1));
            // Reports due close together may wait for one delivery tick (4 ms).
            EXPECT_GE(run.delivered[i].elapsed, offsets[i] / played - 1e-9);
            EXPECT_LE(run.delivered[i].elapsed, offsets[i] / played + 0.004 + 1e-9);
            EXPECT_NEAR(run.delivered[i].timestamp, kReplayStart + offsets[i], 1e-6);
        }
        EXPECT_EQ(run.finished, 1);
        EXPECT_FALSE(run.replay->endedOnError());
    }
}

TEST(Replay, SpeedZeroDeliversEverythingInOrderWithoutStarvingTheLoop) {
    std::string text;
    for (int i = 0; i < 1000; ++i)
        text += line(i * 0.00125, i);
    ReplayRun run(text, 0.0);
    size_t deliveredWhenOtherWorkRan = 0;
    run.loop.post([&] { deliveredWhenOtherWorkRan = run.delivered.size(); });
    run.loop.runPending();
    ASSERT_EQ(run.delivered.size(), 1000u);
    EXPECT_LT(deliveredWhenOtherWorkRan, 1000u);
    for (int i = 0; i < 1000; ++i)
        EXPECT_EQ(run.delivered[i], (Delivered{double(i), kReplayStart + i * 0.00125, 0.0}));
    EXPECT_EQ(run.finished, 1);
}

TEST(Replay, ReadsTheRecordingAsItPlays) {
    ReplayRun run(line(0.1, 1.0) + line(0.2, 2.0));
    run.loop.advance(0.15);
    // Lines written after the start are played: nothing was read ahead to the end.
    std::ofstream(run.file, std::ios::app) << line(0.3, 3.0);
    run.loop.advance(1.0);
    ASSERT_EQ(run.delivered.size(), 3u);
    EXPECT_EQ(run.delivered[2].z, 3.0);
}

TEST(Replay, MalformedLineEndsTheReplayAfterTheReportsBeforeIt) {
    std::string text = line(0.1, 1.0) + "# note\n" + line(0.2, 2.0) + "0.3 00 0g 00\n" + line(0.4, 4.0);
    ReplayRun run(text, 1.0, "bad.rec");
    run.loop.advance(0.15);
    EXPECT_TRUE(run.replayLines().empty()); // found only when the replay gets there
    run.loop.advance(0.1);
    EXPECT_EQ(run.delivered.size(), 2u);
    EXPECT_EQ(run.replayLines(),
              (std::vector<std::string>{"[replay] " + run.file.string() + ":4: byte 2 is not two hex digits: \"0g\""}));
    run.loop.advance(5.0);
    EXPECT_EQ(run.delivered.size(), 2u);
    EXPECT_EQ(run.finished, 1);
    EXPECT_TRUE(run.replay->endedOnError());
}

TEST(Replay, UnreadableRecordings) {
    TempDir dir;
    std::ofstream(dir / "good.rec") << line(0, 1);
    EXPECT_EQ(ReplaySource::unreadableReason(dir / "good.rec"), std::nullopt);
    EXPECT_EQ(ReplaySource::unreadableReason(dir / "none.rec"),
              (dir / "none.rec").string() + ": cannot open: No such file or directory");
    EXPECT_EQ(ReplaySource::unreadableReason(dir.path()), dir.path().string() + ": cannot open: Is a directory");

    // Started anyway, the replay says why once and counts as no sensor.
    ReplayRun run(std::nullopt);
    run.loop.advance(1.0);
    EXPECT_EQ(run.replayLines(),
              (std::vector<std::string>{"[replay] " + run.file.string() + ": cannot open: Is a directory"}));
    EXPECT_EQ(run.unavailable, 1);
    EXPECT_EQ(run.finished, 1);
}

TEST(Replay, DestroyedReplayDeliversNothingMore) {
    ReplayRun run(kFourReports);
    run.loop.advance(0.011);
    ASSERT_EQ(run.delivered.size(), 2u);
    run.replay.reset();
    run.loop.advance(1.0);
    EXPECT_EQ(run.delivered.size(), 2u);
    EXPECT_EQ(run.finished, 0);
}

// The bundled demo: a one-, a two- and a three-tap gesture, and nothing for its sideways knock and slow push.
TEST(Replay, TheDemoRecordingGivesOneTwoAndThreeTapGestures) {
    VirtualLoop loop;
    test::FakeButtons buttons;
    LineCapture quiet;
    ReplaySource replay(loop, KNOKLE_SOURCE_DIR "/share/demo/gestures.rec", 1.0, [] { return kReplayStart; });
    TapPipeline pipeline{loop, replay.managerFactory(), [] { return 0.0; }, buttons};
    pipeline.applyFirmness(2, 1.0);
    std::vector<int> gestures;
    pipeline.onGesture = [&](int count) { gestures.push_back(count); };
    pipeline.start();
    loop.advance(20.0);
    EXPECT_TRUE(replay.finished());
    EXPECT_EQ(gestures, (std::vector<int>{1, 2, 3}));
}

TEST(ReportRecording, MalformedLineEndsReadingWithItsFileAndLine) {
    const std::pair<const char*, const char*> cases[] = {
        // clang-format off
        {"abc 00 01", "expected a time in seconds, found \"abc\""},
        {"-0.5 00", "expected a time in seconds, found \"-0.5\""},
        {"nan 00", "expected a time in seconds, found \"nan\""},
        {"0x10 00", "expected a time in seconds, found \"0x10\""}, {"1.5 00 1", "byte 2 is not two hex digits: \"1\""},
        {"1.5 000", "byte 1 is not two hex digits: \"000\""},
        {"0.5 00", "time 0.5 is before the previous report's 1.0"},
        {"1e58 00", "time \"1e58\" is beyond the longest recording (1000000000 s)"},
        {"", "line longer than 4096 bytes"}, // stands for a line of 5000 bytes
        // clang-format on
    };
    for (const auto& [line, what] : cases) {
        std::string text = *line ? line : "2.0" + std::string(4997, ' ');
        std::istringstream in("1.0 aa BB\n\n" + text + "\n2.0 00\n");
        auto [reports, error] = readAll(in, "rec.txt");
        EXPECT_EQ(error, std::string("rec.txt:3: ") + what);
        EXPECT_EQ(reports, (std::vector<RecordedReport>{{1.0, {0xaa, 0xbb}}})) << line;
    }
}

TEST(ReportRecording, WrittenRecordingsReadBackAndLooseSpacingIsAccepted) {
    std::vector<RecordedReport> reports = {
        {0.0, encodeReport(0, 0, 1.0)}, {0.00125, {0x00, 0x7f, 0x80, 0xff}}, {3.25, {}}};
    std::stringstream written;
    writeRecording(written, reports);
    EXPECT_EQ(readAll(written, "w"), std::pair(reports, std::optional<std::string>()));
    EXPECT_EQ(formatReportLine(0.00125, reports[1].bytes.data(), 4), "0.001250 00 7f 80 ff");

    std::istringstream loose("# header\n\n0 \r\n  # indented\n0.000001 ff\t00\n  12.5   01 02  \n2e1 03\n20\n");
    EXPECT_EQ(
        readAll(loose, "l").first,
        (std::vector<RecordedReport>{{0.0, {}}, {0.000001, {0xff, 0x00}}, {12.5, {1, 2}}, {20.0, {3}}, {20.0, {}}}));
}

TEST(ReportRecorder, RecordsALiveSourceThatReplaysTheSame) {
    TempDir dir;
    LineCapture quiet;
    std::vector<RecordedReport> source = {
        {0.0, encodeReport(0, 0, 1.0)}, {0.125, {0x01}}, {0.25, encodeReport(0.5, -0.5, 2.0, 22)}};
    std::ofstream out(dir / "source.rec");
    writeRecording(out, source);
    out.close();
    test::VirtualLoop loop;
    // Offsets come from the device's read times, counted from the recorder's creation.
    ReplaySource replay(loop, dir / "source.rec", 0.0, [] { return 100.0; });
    auto recorder = std::make_shared<ReportRecorder>(dir / "copy.rec", [] { return 99.5; });
    ASSERT_TRUE(recorder->isOpen());
    MotionSensor sensor(recordingManagerFactory(replay.managerFactory(), recorder));
    std::vector<double> stamps;
    sensor.onSample = [&](double, double, double, double t) { stamps.push_back(t); };
    sensor.start();
    loop.advance(1.0);
    EXPECT_EQ(stamps, (std::vector<double>{100.0, 100.25})); // the 1-byte report gives no sample
    EXPECT_EQ(recorder->recordedCount(), 3u);
    std::ifstream copy(dir / "copy.rec");
    auto [reports, error] = readAll(copy, "copy");
    EXPECT_FALSE(error);
    for (auto& report : source)
        report.offset += 0.5;
    EXPECT_EQ(reports, source);
}

TEST(ReportRecorder, UnwritableFileIsReportedOnceAndRecordsNothing) {
    TempDir dir;
    LineCapture capture;
    ReportRecorder recorder(dir / "no-such-folder" / "x.rec");
    EXPECT_FALSE(recorder.isOpen());
    std::uint8_t byte = 0;
    recorder.record(&byte, 1);
    EXPECT_EQ(recorder.recordedCount(), 0u);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"[recorder] " + (dir / "no-such-folder" / "x.rec").string() +
                                                         ": cannot open: No such file or directory"}));
}
