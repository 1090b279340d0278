#pragma once

#include "TempDir.h"
#include "XSession.h"
#include "common/AtomicFile.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

extern char** environ;

namespace knokle::test {

struct ProgramResult {
    int status = -1;
    std::string output; // standard output and error, interleaved
    double seconds = 0;

    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        size_t start = 0;
        while (start < output.size()) {
            size_t end = output.find('\n', start);
            if (end == std::string::npos) end = output.size();
            out.push_back(output.substr(start, end - start));
            start = end + 1;
        }
        return out;
    }
    bool has(const std::string& line) const {
        for (const auto& l : lines())
            if (l == line) return true;
        return false;
    }
    bool hasPrefix(const std::string& prefix) const {
        for (const auto& l : lines())
            if (l.rfind(prefix, 0) == 0) return true;
        return false;
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
    command += " 2>&1";
    ProgramResult result;
    auto start = std::chrono::steady_clock::now();
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    int status = ::pclose(pipe);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The program running in the background on the session's display, replaying a recording, with its settings
// and modes in the folder and its output going to a file there. Ended (with its process group) on destruction.
class RunningProgram {
public:
    RunningProgram(const XSession& session, const TempDir& dir, const std::string& name,
                   const std::filesystem::path& recording, const std::vector<std::string>& environment = {})
        : log(dir / (name + ".log")) {
        std::string command = "exec env DISPLAY=" + session.display() +
                              " DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"
                              " KNOKLE_CONFIG_DIR=" +
                              shellQuoted((dir / "config").string()) +
                              " KNOKLE_DATA_DIR=" + shellQuoted((dir / "data").string()) +
                              " XDG_CONFIG_HOME=" + shellQuoted((dir / "xdg").string());
        for (const auto& variable : environment)
            command += " " + shellQuoted(variable);
        command += " timeout 60 " + shellQuoted(KNOKLE_EXECUTABLE) + " --replay " + shellQuoted(recording.string()) +
                   " > " + shellQuoted(log.string()) + " 2>&1";
        const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        if (posix_spawn(&pid, "/bin/sh", nullptr, &attributes, const_cast<char**>(argv), environ) != 0) pid = -1;
        posix_spawnattr_destroy(&attributes);
    }
    ~RunningProgram() {
        if (pid <= 0) return;
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    std::string output() const { return readWholeFile(log).value_or(""); }
    bool waitForOutput(const std::string& text, int limitMs = 10000) const {
        for (int waited = 0; waited < limitMs; waited += 20) {
            if (output().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

private:
    std::filesystem::path log;
    pid_t pid = -1;
};

} // namespace knokle::test
