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

// What /proc/PID/stat says: the one-letter state and the parent's pid. The command name may itself contain
// spaces and parentheses, so the fields are read after the last ')'.
struct ProcStat {
    char state = '?';
    pid_t parent = 0;
};
std::optional<ProcStat> parseProcStat(std::string_view stat);

// Desktop entry IDs that a systemd unit name in /proc/PID/cgroup may carry, most likely first:
// "app[-LAUNCHER]-ID-RANDOM.scope" and "app[-LAUNCHER]-ID[@RANDOM].service", with "\xNN" escapes undone.
// Whether a launcher part is present cannot be told from the name alone, so both readings are offered and
// the caller keeps the one that names an installed entry.
std::vector<std::string> cgroupApplicationCandidates(std::string_view cgroupFile);

// "\x2d" escapes of systemd unit names undone.
std::string unescapeUnitName(std::string_view text);

} // namespace knokle
