#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace knokle {

// Readings of the files under /proc/PID that tell which application a process belongs to.

// The value of one variable in an environ block (NUL-separated NAME=VALUE entries); nothing when absent.
std::optional<std::string> environValue(std::string_view environ, std::string_view name);

// The arguments of a cmdline block (NUL-separated).
std::vector<std::string> cmdlineArguments(std::string_view cmdline);

// The window class a program was told to use on its command line (X toolkit "-class NAME", GTK and Chromium
// "--class=NAME" or "--class NAME"); nothing when it was not.
std::optional<std::string> classArgument(const std::vector<std::string>& arguments);

// What /proc/PID/stat says: the one-letter state and the parent's pid. The command name may itself contain
// spaces and parentheses, so the fields are read after the last ')'.
struct ProcStat {
    char state = '?';
    pid_t parent = 0;
    unsigned long long startTime = 0; // clock ticks after boot
    bool kernelThread = false;
};
std::optional<ProcStat> parseProcStat(std::string_view stat);

// Desktop entry IDs that a systemd unit name in /proc/PID/cgroup may carry, most likely first:
// "app[-LAUNCHER]-ID-RANDOM.scope" and "app[-LAUNCHER]-ID[@RANDOM].service", with "\xNN" escapes undone.
// Whether a launcher part is present cannot be told from the name alone, so both readings are offered and
// the caller keeps the one that names an installed entry.
std::vector<std::string> cgroupApplicationCandidates(std::string_view cgroupFile);

// The real and effective user IDs on the "Uid:" line of /proc/PID/status.
struct ProcessUids {
    uid_t real = 0;
    uid_t effective = 0;
};
std::optional<ProcessUids> parseStatusUids(std::string_view status);

// The path of the unified (or name=systemd) hierarchy in /proc/PID/cgroup; empty when there is none.
std::string_view cgroupPath(std::string_view cgroupFile);

// What a Flatpak sandbox's .flatpak-info says: the application's ID and the instance's.
struct FlatpakInstance {
    std::string application;
    std::string instance;
};
std::optional<FlatpakInstance> parseFlatpakInfo(std::string_view text);

// "\x2d" escapes of systemd unit names undone.
std::string unescapeUnitName(std::string_view text);

} // namespace knokle
