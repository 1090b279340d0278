#include "sensing/ReportRecording.h"

#include "common/TextFormat.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <istream>
#include <ostream>

namespace knokle {
namespace {

std::string_view trim(std::string_view text) {
    const char* blanks = " \t\r\n\v\f";
    size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

std::vector<std::string_view> tokens(std::string_view text) {
    std::vector<std::string_view> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t start = text.find_first_not_of(" \t", pos);
        if (start == std::string_view::npos) break;
        size_t end = text.find_first_of(" \t", start);
        if (end == std::string_view::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        pos = end;
    }
    return out;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
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
std::string parseLine(std::string_view line, double previousOffset, RecordedReport& report) {
    std::vector<std::string_view> parts = tokens(line);
    std::optional<double> offset = parseOffset(parts[0]);
    if (!offset) return "expected a time in seconds, found " + quoted(parts[0]);
    if (*offset < previousOffset)
        return "time " + std::string(parts[0]) + " is before the previous report's " + shortestDecimal(previousOffset);
    report.offset = *offset;
    report.bytes.clear();
    for (size_t i = 1; i < parts.size(); ++i) {
        std::string_view part = parts[i];
        int high = part.size() == 2 ? hexDigit(part[0]) : -1;
        int low = part.size() == 2 ? hexDigit(part[1]) : -1;
        if (high < 0 || low < 0) return format("byte %zu is not two hex digits: ", i) + quoted(part);
        report.bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return {};
}

} // namespace

ParsedRecording parseRecording(std::istream& in, std::string_view name) {
    ParsedRecording result;
    std::string line;
    int lineNumber = 0;
    double previousOffset = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        std::string_view content = trim(line);
        if (content.empty() || content.front() == '#') continue;
        RecordedReport report;
        std::string problem = parseLine(content, previousOffset, report);
        if (!problem.empty()) {
            result.error = format("%.*s:%d: ", int(name.size()), name.data(), lineNumber) + problem;
            result.errorLine = lineNumber;
            return result;
        }
        previousOffset = report.offset;
        result.reports.push_back(std::move(report));
    }
    if (in.bad()) result.error = std::string(name) + ": read error";
    return result;
}

ParsedRecording readRecording(const std::filesystem::path& file) {
    std::ifstream in(file);
    if (!in) {
        ParsedRecording result;
        result.error = file.string() + ": cannot open: " + std::strerror(errno ? errno : ENOENT);
        return result;
    }
    std::error_code ec;
    if (std::filesystem::is_directory(file, ec)) {
        ParsedRecording result;
        result.error = file.string() + ": cannot open: " + std::strerror(EISDIR);
        return result;
    }
    return parseRecording(in, file.string());
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
