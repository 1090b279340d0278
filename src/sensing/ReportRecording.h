#pragma once

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// One raw input report and when it arrived, in seconds since the start of its recording.
struct RecordedReport {
    double offset = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const RecordedReport&) const = default;
};

// A recording as read: the reports up to the first malformed line, and what was wrong there.
struct ParsedRecording {
    std::vector<RecordedReport> reports;
    // "<file>:<line>: <what>" for a malformed line, "<file>: <what>" when the file cannot be read.
    std::optional<std::string> error;
    int errorLine = 0; // 0 when the error concerns the whole file
};

// Text format, one report a line: "0.001250 00 00 01 00 ...": the offset, then each byte as two hex digits,
// separated by blanks. Blank lines and lines starting with '#' are skipped. Offsets never decrease.
ParsedRecording parseRecording(std::istream& in, std::string_view name);
ParsedRecording readRecording(const std::filesystem::path& file);

inline constexpr const char* kRecordingHeader =
    "# knokle report recording: seconds since start, then the report's bytes";

// The line for one report, without a line feed.
std::string formatReportLine(double offset, const std::uint8_t* bytes, std::size_t length);
void writeRecording(std::ostream& out, const std::vector<RecordedReport>& reports);

} // namespace knokle
