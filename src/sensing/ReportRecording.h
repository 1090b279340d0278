#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// One raw input report and when it arrived, in seconds since the start of its recording.
struct RecordedReport {
    double offset = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const RecordedReport&) const = default;
};

// Text format, one report a line: "0.001250 00 00 01 00 ...": the offset, then each byte as two hex digits,
// separated by blanks. Blank lines and lines starting with '#' are skipped. Offsets never decrease.
//
// Reads a recording one report at a time, so that a long one never sits in memory and playback starts at once.
// Reading stops at the end or at the first malformed line.
class RecordingReader {
public:
    // name is how errors refer to the input (the file's path).
    RecordingReader(std::istream& in, std::string name);

    // Fills report with the next report (reusing its storage); false at the end or at a malformed line.
    bool next(RecordedReport& report);
    // "<name>:<line>: <what>" for a malformed line, "<name>: read error" when reading failed.
    const std::optional<std::string>& error() const { return problem; }

private:
    std::istream& in;
    std::string name;
    std::string line;
    int lineNumber = 0;
    double previousOffset = 0;
    std::optional<std::string> problem;
};

// Bounds on what a recording may hold: a report line is far shorter, and an offset beyond this (about 31
// years) could not be written back in the line's form.
inline constexpr std::size_t kMaxRecordingLineBytes = 4096;
inline constexpr double kMaxRecordingOffset = 1e9;

inline constexpr const char* kRecordingHeader =
    "# knokle report recording: seconds since start, then the report's bytes";

// The line for one report, without a line feed.
std::string formatReportLine(double offset, const std::uint8_t* bytes, std::size_t length);
void writeRecording(std::ostream& out, const std::vector<RecordedReport>& reports);

} // namespace knokle
