#include "sensing/ReportRecording.h"
#include "LineCapture.h"
#include "TempDir.h"
#include "VirtualLoop.h"
#include "sensing/MotionSensor.h"
#include "sensing/ReplaySource.h"
#include "sensing/ReportRecorder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

using namespace knokle;
using knokle::test::LineCapture;
using knokle::test::TempDir;

namespace {

std::pair<std::vector<RecordedReport>, std::optional<std::string>> readAll(std::istream& in, std::string name) {
    RecordingReader reader(in, std::move(name));
    std::vector<RecordedReport> reports;
    for (RecordedReport report; reader.next(report);)
        reports.push_back(report);
    return {reports, reader.error()};
}

} // namespace

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
