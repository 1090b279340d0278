#include "platform/linux/desktop/ProcFiles.h"

#include <charconv>

namespace knokle {
namespace {

std::vector<std::string_view> splitOnNul(std::string_view block) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (start < block.size()) {
        size_t end = block.find('\0', start);
        if (end == std::string_view::npos) end = block.size();
        parts.push_back(block.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The last component of a cgroup path: the unit the process runs in.
std::string_view lastUnitName(std::string_view cgroupFile) {
    std::string_view path = cgroupPath(cgroupFile);
    size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::vector<std::string_view> fields(std::string_view text) {
    std::vector<std::string_view> out;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of(" \t\n", start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

template <typename T> std::optional<T> number(std::string_view text) {
    T value{};
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

} // namespace

std::optional<std::string> environValue(std::string_view environ, std::string_view name) {
    for (std::string_view entry : splitOnNul(environ)) {
        if (entry.size() > name.size() && entry.substr(0, name.size()) == name && entry[name.size()] == '=')
            return std::string(entry.substr(name.size() + 1));
    }
    return std::nullopt;
}

std::vector<std::string> cmdlineArguments(std::string_view cmdline) {
    std::vector<std::string> arguments;
    for (std::string_view part : splitOnNul(cmdline))
        arguments.emplace_back(part);
    return arguments;
}

std::optional<std::string> classArgument(const std::vector<std::string>& arguments) {
    for (size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--") break;
        if (argument.starts_with("--class=") && argument.size() > 8) return argument.substr(8);
        if ((argument == "-class" || argument == "--class") && i + 1 < arguments.size() && !arguments[i + 1].empty())
            return arguments[i + 1];
    }
    return std::nullopt;
}

std::optional<ProcStat> parseProcStat(std::string_view stat) {
    size_t close = stat.rfind(')');
    if (close == std::string_view::npos) return std::nullopt;
    auto parts = fields(stat.substr(close + 1));
    if (parts.size() < 2 || parts[0].size() != 1) return std::nullopt;
    auto parent = number<pid_t>(parts[1]);
    if (!parent) return std::nullopt;
    ProcStat result{parts[0][0], *parent, 0, false};
    // Fields counted from the state, which is field 3 of the file.
    constexpr size_t flagsField = 6;
    constexpr size_t startTimeField = 19;
    constexpr unsigned long kernelThreadFlag = 0x00200000; // PF_KTHREAD
    if (parts.size() > flagsField)
        result.kernelThread = (number<unsigned long>(parts[flagsField]).value_or(0) & kernelThreadFlag) != 0;
    if (parts.size() > startTimeField) result.startTime = number<unsigned long long>(parts[startTimeField]).value_or(0);
    return result;
}

std::optional<ProcessUids> parseStatusUids(std::string_view status) {
    size_t at = status.starts_with("Uid:") ? 0 : status.find("\nUid:");
    if (at == std::string_view::npos) return std::nullopt;
    at = status.find(':', at) + 1;
    auto parts = fields(status.substr(at, status.find('\n', at) - at));
    if (parts.size() < 2) return std::nullopt;
    auto real = number<uid_t>(parts[0]);
    auto effective = number<uid_t>(parts[1]);
    if (!real || !effective) return std::nullopt;
    return ProcessUids{*real, *effective};
}

std::string_view cgroupPath(std::string_view cgroupFile) {
    std::string_view best;
    bool unified = false;
    size_t start = 0;
    while (start < cgroupFile.size()) {
        size_t end = cgroupFile.find('\n', start);
        if (end == std::string_view::npos) end = cgroupFile.size();
        std::string_view line = cgroupFile.substr(start, end - start);
        start = end + 1;
        size_t firstColon = line.find(':');
        if (firstColon == std::string_view::npos) continue;
        size_t secondColon = line.find(':', firstColon + 1);
        if (secondColon == std::string_view::npos) continue;
        std::string_view controllers = line.substr(firstColon + 1, secondColon - firstColon - 1);
        if (!controllers.empty() && controllers != "name=systemd") continue;
        // The unified hierarchy wins over the legacy systemd one when both are present.
        if (unified) continue;
        best = line.substr(secondColon + 1);
        unified = controllers.empty();
    }
    return best;
}

std::optional<FlatpakInstance> parseFlatpakInfo(std::string_view text) {
    FlatpakInstance found;
    std::string_view group;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        if (line.starts_with("[")) {
            group = line;
        } else if (group == "[Application]" && line.starts_with("name=")) {
            found.application = line.substr(5);
        } else if (group == "[Instance]" && line.starts_with("instance-id=")) {
            found.instance = line.substr(12);
        }
    }
    if (found.application.empty()) return std::nullopt;
    return found;
}

std::string unescapeUnitName(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
            int high = hexDigit(text[i + 2]);
            int low = hexDigit(text[i + 3]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 3;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::vector<std::string> cgroupApplicationCandidates(std::string_view cgroupFile) {
    std::string_view unit = lastUnitName(cgroupFile);
    if (unit.substr(0, 4) != "app-") return {};
    std::string_view body;
    if (endsWith(unit, ".scope")) {
        body = unit.substr(4, unit.size() - 4 - 6);
        // The random part of a scope follows the last dash.
        size_t dash = body.rfind('-');
        if (dash == std::string_view::npos) return {};
        body = body.substr(0, dash);
    } else if (endsWith(unit, ".service")) {
        body = unit.substr(4, unit.size() - 4 - 8);
        size_t at = body.find('@');
        if (at != std::string_view::npos) body = body.substr(0, at);
    } else {
        return {};
    }
    if (body.empty()) return {};
    std::vector<std::string> candidates;
    size_t dash = body.find('-');
    if (dash != std::string_view::npos && dash + 1 < body.size())
        candidates.push_back(unescapeUnitName(body.substr(dash + 1)));
    candidates.push_back(unescapeUnitName(body));
    return candidates;
}

} // namespace knokle
