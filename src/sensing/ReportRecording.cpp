#include "sensing/ReportRecording.h"

#include "common/TextFormat.h"

#include <cmath>
#include <cstdlib>
#include <istream>
#include <ostream>

namespace knokle {
namespace {

constexpr std::string_view kBlanks = " \t\r\n\v\f";

// The next blank-separated token of text from pos on; empty at the end.
std::string_view nextToken(std::string_view text, std::size_t& pos) {
    std::size_t start = text.find_first_not_of(kBlanks, pos);
    if (start == std::string_view::npos) {
        pos = text.size();
        return {};
    }
    std::size_t end = text.find_first_of(kBlanks, start);
    pos = end == std::string_view::npos ? text.size() : end;
    return text.substr(start, pos - start);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Reads one line into `line` (without its line feed); false at the end. A line longer than the limit is cut
// there and `tooLong` set, so that a file without line feeds (/dev/zero) never fills memory.
bool readLine(std::istream& in, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    for (char c; in.get(c);) {
        if (c == '\n') return true;
        if (line.size() == kMaxRecordingLineBytes) {
            tooLong = true;
            return true;
        }
        line.push_back(c);
    }
    return !line.empty();
}

// Only plain decimal numbers: strtod alone would also take "inf", "nan" and hex floats.
std::optional<double> parseOffset(std::string_view token) {
    if (token.empty() || token.size() > 64) return std::nullopt;
    for (char c : token)
        if (!((c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '+' || c == '-')) return std::nullopt;
    std::string text(token);
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value) || value < 0) return std::nullopt;
    return value;
}

std::string quoted(std::string_view token) {
    return "\"" + std::string(token.substr(0, 40)) + "\"";
}

// An empty result means the line was good; otherwise it says what is wrong.
std::string parseLine(std::string_view line, std::string_view first, std::size_t pos, double previousOffset,
                      RecordedReport& report) {
    std::optional<double> offset = parseOffset(first);
    if (!offset) return "expected a time in seconds, found " + quoted(first);
    if (*offset > kMaxRecordingOffset)
        return "time " + quoted(first) + " is beyond the longest recording (" +
               std::to_string(static_cast<long long>(kMaxRecordingOffset)) +
               " s)";
    if (*offset < previousOffset)
        return "time " + std::string(first) + " is before the previous report's " + shortestDecimal(previousOffset);
    report.offset = *offset;
    report.bytes.clear();
    for (std::string_view part = nextToken(line, pos); !part.empty(); part = nextToken(line, pos)) {
        int high = part.size() == 2 ? hexDigit(part[0]) : -1;
        int low = part.size() == 2 ? hexDigit(part[1]) : -1;
        if (high < 0 || low < 0)
            return format("byte %zu is not two hex digits: ", report.bytes.size() + 1) + quoted(part);
        report.bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return {};
}

} // namespace

RecordingReader::RecordingReader(std::istream& in, std::string name) : in(in), name(std::move(name)) {}

bool RecordingReader::next(RecordedReport& report) {
    bool tooLong = false;
    while (!problem && readLine(in, line, tooLong)) {
        ++lineNumber;
        if (tooLong) {
            problem = format("%s:%d: line longer than %zu bytes", name.c_str(), lineNumber, kMaxRecordingLineBytes);
            return false;
        }
        std::size_t pos = 0;
        std::string_view first = nextToken(line, pos);
        if (first.empty() || first.front() == '#') continue;
        std::string what = parseLine(line, first, pos, previousOffset, report);
        if (!what.empty()) {
            problem = format("%s:%d: ", name.c_str(), lineNumber) + what;
            return false;
        }
        previousOffset = report.offset;
        return true;
    }
    if (!problem && in.bad()) problem = name + ": read error";
    return false;
}

std::string formatReportLine(double offset, const std::uint8_t* bytes, std::size_t length) {
    std::string line = format("%.6f", offset);
    static constexpr char digits[] = "0123456789abcdef";
    for (std::size_t i = 0; i < length; ++i) {
        line.push_back(' ');
        line.push_back(digits[bytes[i] >> 4]);
        line.push_back(digits[bytes[i] & 0x0f]);
    }
    return line;
}

void writeRecording(std::ostream& out, const std::vector<RecordedReport>& reports) {
    out << kRecordingHeader << '\n';
    for (const RecordedReport& report : reports)
        out << formatReportLine(report.offset, report.bytes.data(), report.bytes.size()) << '\n';
}

} // namespace knokle
