#include "platform/linux/desktop/RunningProcesses.h"

#include "platform/linux/desktop/ProcFiles.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <memory>
#include <unistd.h>

namespace knokle {

namespace {

namespace fs = std::filesystem;

struct ClosesDirectory {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// Descendants of a launched program inherit its variables; an ancestor chain longer than this is a loop.
constexpr int kMaxAncestors = 64;

struct Process {
    ProcStat stat;
    std::optional<std::string> desktopFile;
    std::optional<pid_t> desktopFilePid;
};

// What an instance is known by: processes with the same key belong to the same instance.
struct Identity {
    std::string id;
    std::string key;
    bool oneEntryPerKey = false; // a unit or a sandbox is one launch, whatever its process tree
};

std::optional<pid_t> parsePid(std::string_view text) {
    pid_t value = 0;
    auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || ptr != text.data() + text.size() || value < 1) return std::nullopt;
    return value;
}

// Small reads relative to the /proc folder's descriptor: a snapshot reads a few files of every process.
bool readInto(int rootFd, const std::string& path, std::string& out) {
    out.clear();
    int fd = ::openat(rootFd, path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[4096];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        out.append(buffer, static_cast<size_t>(n));
    ::close(fd);
    return n == 0;
}

std::string readLinkAt(int rootFd, const std::string& path) {
    char buffer[4096];
    ssize_t n = ::readlinkat(rootFd, path.c_str(), buffer, sizeof buffer);
    if (n <= 0) return {};
    std::string target(buffer, static_cast<size_t>(n));
    const std::string deleted = " (deleted)";
    if (target.ends_with(deleted)) target.resize(target.size() - deleted.size());
    return target;
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

class Scan {
public:
    Scan(int rootFd, uid_t user, DesktopEntryIndex& entries) : rootFd(rootFd), user(user), entries(entries) {}

    void readProcesses() {
        int fd = ::dup(rootFd);
        std::unique_ptr<DIR, ClosesDirectory> dir(fd >= 0 ? ::fdopendir(fd) : nullptr);
        if (!dir) {
            if (fd >= 0) ::close(fd);
            return;
        }
        while (const dirent* item = ::readdir(dir.get())) {
            auto pid = parsePid(item->d_name);
            if (!pid) continue;
            std::string base = item->d_name;
            // Another user's process is never a candidate, whatever it claims to be.
            if (!readInto(rootFd, base + "/status", text)) continue;
            auto uids = parseStatusUids(text);
            if (!uids || uids->real != user || uids->effective != user) continue;
            if (!readInto(rootFd, base + "/stat", text)) continue; // gone meanwhile
            auto stat = parseProcStat(text);
            if (!stat || stat->kernelThread) continue;
            Process process{*stat, {}, {}};
            if (readInto(rootFd, base + "/environ", text)) {
                process.desktopFile = environValue(text, "GIO_LAUNCHED_DESKTOP_FILE");
                if (auto pidText = environValue(text, "GIO_LAUNCHED_DESKTOP_FILE_PID"))
                    process.desktopFilePid = parsePid(*pidText);
            }
            processes.emplace(*pid, std::move(process));
        }
    }

    std::vector<RunningApplication> applications() {
        std::map<pid_t, Identity> identified;
        for (const auto& [pid, process] : processes) {
            auto launch = launchIdentity(pid, process);
            if (launch.helper) continue;
            auto identity = launch.identity ? launch.identity : otherIdentity(pid);
            if (identity) identified.emplace(pid, std::move(*identity));
        }
        // The main process of a unit or sandbox is its oldest one.
        std::map<std::string, pid_t> oldest;
        for (const auto& [pid, identity] : identified) {
            if (!identity.oneEntryPerKey) continue;
            auto [it, fresh] = oldest.emplace(identity.key, pid);
            if (!fresh && startOf(pid) < startOf(it->second)) it->second = pid;
        }
        std::vector<RunningApplication> result;
        for (const auto& [pid, identity] : identified) {
            if (identity.oneEntryPerKey && oldest[identity.key] != pid) continue;
            auto parent = identified.find(processes.at(pid).stat.parent);
            if (!identity.oneEntryPerKey && parent != identified.end() && parent->second.key == identity.key)
                continue; // a child running the same program as its parent: a helper
            char state = processes.at(pid).stat.state;
            result.push_back(
                RunningApplication{identity.id, static_cast<std::int32_t>(pid), state == 'Z' || state == 'X'});
        }
        return result;
    }

private:
    struct LaunchReading {
        std::optional<Identity> identity;
        bool helper = false;
    };

    // The variables are trusted when they name this process, or an ancestor that carries the same ones: a
    // process that left its launcher's family (or a reused pid) keeps stale ones and is judged otherwise.
    LaunchReading launchIdentity(pid_t pid, const Process& process) {
        if (!process.desktopFile || !process.desktopFilePid) return {};
        pid_t current = pid;
        for (int step = 0; step < kMaxAncestors && current > 0; ++step) {
            auto found = processes.find(current);
            if (found == processes.end() || found->second.desktopFile != process.desktopFile ||
                found->second.desktopFilePid != process.desktopFilePid)
                return {};
            if (current == *process.desktopFilePid) break;
            current = found->second.stat.parent;
        }
        if (current != *process.desktopFilePid) return {};
        if (pid != current) return {std::nullopt, true};
        auto id = entries.idForFile(*process.desktopFile);
        if (!id) return {};
        return {Identity{*id, "launch:" + *process.desktopFile + ":" + std::to_string(pid), false}, false};
    }

    std::optional<Identity> otherIdentity(pid_t pid) {
        std::string base = std::to_string(pid);
        if (readInto(rootFd, base + "/cgroup", text)) {
            std::string path(cgroupPath(text));
            for (const auto& candidate : cgroupApplicationCandidates(text))
                if (entries.isInstalled(candidate)) return Identity{candidate, "unit:" + path, true};
        }
        if (readInto(rootFd, base + "/root/.flatpak-info", text))
            if (auto sandbox = parseFlatpakInfo(text))
                return Identity{sandbox->application, "sandbox:" + sandbox->application + ":" + sandbox->instance,
                                true};
        std::string exe = readLinkAt(rootFd, base + "/exe");
        std::vector<std::string> arguments;
        if (readInto(rootFd, base + "/cmdline", text)) arguments = cmdlineArguments(text);
        // Several entries may run one executable (xterm as XTerm and as UXTerm): the class the process was
        // given says which one it is.
        auto windowClass = classArgument(arguments);
        if (windowClass)
            if (auto id = entries.idForWindowClass(*windowClass))
                return Identity{*id, "program:" + exe + "#" + *id, false};
        auto id = exe.empty() ? std::nullopt : entries.idForExecutable(exe);
        // A launch script that keeps its own path as argv[0] (exec -a "$0") names the entry's program.
        if (!id && !arguments.empty() && fs::path(arguments[0]).is_absolute())
            if (auto program = resolvedProgram(arguments[0], "")) id = entries.idForExecutable(*program);
        if (!id) return std::nullopt;
        // Started under a class its entry does not have: it is some other application run by the same program.
        if (auto entry = entries.entry(*id); windowClass && entry && !entry->startupWMClass.empty() &&
                                             !equalIgnoringCase(*windowClass, entry->startupWMClass))
            return std::nullopt;
        return Identity{*id, "program:" + exe + "#" + *id, false};
    }

    std::pair<unsigned long long, pid_t> startOf(pid_t pid) const { return {processes.at(pid).stat.startTime, pid}; }

    int rootFd;
    uid_t user;
    DesktopEntryIndex& entries;
    std::map<pid_t, Process> processes;
    std::string text; // reused for every read
};

} // namespace

std::vector<RunningApplication> scanRunningApplications(const fs::path& procRoot, uid_t user,
                                                        DesktopEntryIndex& entries) {
    int rootFd = ::open(procRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) return {};
    Scan scan(rootFd, user, entries);
    scan.readProcesses();
    auto result = scan.applications();
    ::close(rootFd);
    return result;
}

} // namespace knokle
