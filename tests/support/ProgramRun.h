#pragma once

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace knokle::test {

struct ProgramResult {
    int status = -1;
    std::string output; // standard output and error, interleaved

    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        std::istringstream stream(output);
        for (std::string line; std::getline(stream, line);)
            out.push_back(line);
        return out;
    }
    bool has(const std::string& line) const { return std::ranges::count(lines(), line) > 0; }
    bool hasPrefix(const std::string& prefix) const {
        return std::ranges::any_of(lines(), [&](const std::string& l) { return l.starts_with(prefix); });
    }
};

inline std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Runs the program with a clean display-less environment plus the given variables ("NAME=value"); a time
// limit keeps a hung program from hanging the test.
inline ProgramResult runProgram(const std::vector<std::string>& environment, const std::vector<std::string>& args,
                                int limitSeconds = 60) {
    std::string command = "env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen "
                          "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent";
    for (const auto& variable : environment)
        command += " " + shellQuoted(variable);
    command += " timeout " + std::to_string(limitSeconds) + " " + shellQuoted(KNOKLE_EXECUTABLE);
    for (const auto& arg : args)
        command += " " + shellQuoted(arg);
    ProgramResult result;
    FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.output.append(buffer, n);
    int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace knokle::test
