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
using knokle::test::VirtualLoop;

TEST(ReportRecording, MalformedLinesNameFileAndLine) {
    struct Case {
        std::string line;
        std::string error;
    };
    const Case cases[] = {
        {"abc 00 01", "rec.txt:2: expected a time in seconds, found \"abc\""},
        {"-0.5 00", "rec.txt:2: expected a time in seconds, found \"-0.5\""},
        {"nan 00", "rec.txt:2: expected a time in seconds, found \"nan\""},
        {"inf", "rec.txt:2: expected a time in seconds, found \"inf\""},
        {"0x10 00", "rec.txt:2: expected a time in seconds, found \"0x10\""},
        {"1.5 00 1", "rec.txt:2: byte 2 is not two hex digits: \"1\""},
        {"1.5 000", "rec.txt:2: byte 1 is not two hex digits: \"000\""},
        {"1.5 00,01", "rec.txt:2: byte 1 is not two hex digits: \"00,01\""},
        {"0.5 00", "rec.txt:2: time 0.5 is before the previous report's 1.0"},
    };
    for (const Case& c : cases) {
        std::istringstream in("1.0 aa BB\n" + c.line + "\n2.0 00\n");
        ParsedRecording parsed = parseRecording(in, "rec.txt");
        ASSERT_TRUE(parsed.error) << c.line;
        EXPECT_EQ(*parsed.error, c.error);
        EXPECT_EQ(parsed.errorLine, 2);
        // What came before the bad line is kept, nothing after it.
        ASSERT_EQ(parsed.reports.size(), 1u) << c.line;
        EXPECT_EQ(parsed.reports[0], (RecordedReport{1.0, {0xaa, 0xbb}}));
    }
}

TEST(ReportRecording, AcceptedLines) {
    std::istringstream in("# header\n\n0 \r\n0.000001 ff\t00\n  12.5   01 02  \n2e1 03\n20\n");
    ParsedRecording parsed = parseRecording(in, "rec");
    ASSERT_FALSE(parsed.error) << *parsed.error;
    EXPECT_EQ(parsed.reports, (std::vector<RecordedReport>{
                                  {0.0, {}}, {0.000001, {0xff, 0x00}}, {12.5, {1, 2}}, {20.0, {3}}, {20.0, {}}}));
}

TEST(ReportRecording, FileRoundTrip) {
    TempDir dir;
    std::vector<RecordedReport> reports = {
        {0.0, encodeReport(0, 0, 1.0)}, {0.00125, {0x00, 0x7f, 0x80, 0xff}}, {3.25, {}}};
    {
        std::ofstream out(dir / "r.rec");
        writeRecording(out, reports);
    }
    ParsedRecording parsed = readRecording(dir / "r.rec");
    EXPECT_FALSE(parsed.error);
    EXPECT_EQ(parsed.reports, reports);
    EXPECT_EQ(formatReportLine(0.00125, reports[1].bytes.data(), 4), "0.001250 00 7f 80 ff");
}

TEST(ReportRecording, UnreadableFiles) {
    TempDir dir;
    ParsedRecording missing = readRecording(dir / "none.rec");
    EXPECT_EQ(missing.error, (dir / "none.rec").string() + ": cannot open: No such file or directory");
    EXPECT_EQ(missing.errorLine, 0);
    ParsedRecording folder = readRecording(dir.path());
    EXPECT_EQ(folder.error, dir.path().string() + ": cannot open: Is a directory");
}

TEST(ReportRecorder, RecordsALiveSourceThatReplaysTheSame) {
    TempDir dir;
    std::vector<RecordedReport> source = {
        {0.0, encodeReport(0, 0, 1.0)}, {0.0125, {0x01, 0x02}}, {0.25, encodeReport(0.5, -0.5, 2.0, 22)}};
    {
        std::ofstream out(dir / "source.rec");
        writeRecording(out, source);
    }
    VirtualLoop loop;
    loop.advance(3.0); // the recorder's offsets start at its own creation, not at the loop's
    ReplaySource replay(loop, dir / "source.rec", 1.0);
    auto recorder = std::make_shared<ReportRecorder>(dir / "copy.rec", loop);
    ASSERT_TRUE(recorder->isOpen());
    MotionSensor sensor(recordingManagerFactory(replay.managerFactory(), recorder));
    int samples = 0;
    sensor.onSample = [&](double, double, double, double) { ++samples; };
    sensor.start();
    loop.advance(1.0);
    EXPECT_EQ(samples, 2); // the 2-byte report is recorded but gives no sample
    EXPECT_EQ(recorder->recordedCount(), 3u);
    ParsedRecording copy = readRecording(dir / "copy.rec");
    EXPECT_FALSE(copy.error);
    EXPECT_EQ(copy.reports, source);
}

TEST(ReportRecorder, UnwritableFileIsReportedOnceAndRecordsNothing) {
    TempDir dir;
    VirtualLoop loop;
    LineCapture capture;
    ReportRecorder recorder(dir / "no-such-folder" / "x.rec", loop);
    EXPECT_FALSE(recorder.isOpen());
    std::uint8_t byte = 0;
    recorder.record(&byte, 1);
    EXPECT_EQ(recorder.recordedCount(), 0u);
    EXPECT_EQ(capture.lines(), (std::vector<std::string>{"[recorder] " + (dir / "no-such-folder" / "x.rec").string() +
                                                         ": cannot open: No such file or directory"}));
}
