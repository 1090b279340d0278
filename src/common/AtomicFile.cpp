#include "common/AtomicFile.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace knokle {
namespace {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void syncFolder(const std::filesystem::path& folder) {
    int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// A symbolic link (as dotfile managers make) is written through, not replaced by a regular file.
std::filesystem::path throughLinks(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::path resolved = path;
    for (int hops = 0; hops < 40 && std::filesystem::is_symlink(resolved, ec); ++hops) {
        std::filesystem::path target = std::filesystem::read_symlink(resolved, ec);
        if (ec) break;
        resolved = target.is_absolute() ? target : resolved.parent_path() / target;
    }
    return resolved;
}

constexpr int kRandomLength = 6;

// Like mkstemp, but created 0666 less the umask, as any new file of the user's would be. The name carries the
// writer's pid, so that a later start can tell a leftover from a write in progress.
int createTemporary(const std::string& prefix, std::string& name) {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix + std::to_string(::getpid()) + "-";
        for (int i = 0; i < kRandomLength; ++i)
            name += letters[random() % (sizeof letters - 1)];
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

bool allDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// Temporary files a crash left behind: ours and regular, and either named after a process that has ended or
// (older names without a pid) untouched for a minute, so never one that another process is writing right now.
void removeStaleTemporaries(const std::string& prefix) {
    std::filesystem::path folder = std::filesystem::path(prefix).parent_path();
    std::string stem = std::filesystem::path(prefix).filename().string();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.size() <= stem.size() || name.compare(0, stem.size(), stem) != 0) continue;
        std::string_view rest = std::string_view(name).substr(stem.size());
        auto dash = rest.find('-');
        bool withPid = dash != std::string_view::npos && rest.size() == dash + 1 + kRandomLength &&
                       allDigits(rest.substr(0, dash)) && dash < 10;
        if (!withPid && rest.size() != kRandomLength) continue;
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
        bool stale =
            withPid ? ::kill(static_cast<pid_t>(std::stol(std::string(rest.substr(0, dash)))), 0) != 0 && errno == ESRCH
                    : std::time(nullptr) - info.st_mtime > 60;
        if (stale) ::unlink(entry.path().c_str());
    }
}

std::string temporaryPrefix(const std::filesystem::path& path) {
    return (path.parent_path() / ("." + path.filename().string() + ".")).string();
}

} // namespace

bool writeFileAtomically(const std::filesystem::path& requested, std::string_view bytes, SymbolicLinks links) {
    if (links == SymbolicLinks::writeThrough && linkIsRefused(requested)) return false;
    std::filesystem::path path = links == SymbolicLinks::writeThrough ? throughLinks(requested) : requested;
    std::string prefix = temporaryPrefix(path);
    std::string temporary;
    int fd = createTemporary(prefix, temporary);
    if (fd < 0) return false;
    bool ok = writeAll(fd, bytes) && ::fsync(fd) == 0;
    // The file keeps its permissions; a new one was created with the umask applied.
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0) ok = ok && ::fchmod(fd, existing.st_mode & 07777) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    syncFolder(path.parent_path());
    removeStaleTemporaries(prefix);
    return true;
}

bool linkIsRefused(const std::filesystem::path& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return false;
    return ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid();
}

FileRead readRegularFile(const std::filesystem::path& path, std::size_t maxBytes) {
    FileRead result;
    // Non-blocking: opening a FIFO for reading would otherwise wait for a writer that may never come.
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        result.problem = errno == ENOENT || errno == ENOTDIR ? ReadProblem::absent : ReadProblem::unreadable;
        return result;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        result.problem = ReadProblem::notRegularFile;
        return result;
    }
    // Sizes in /proc and /sys say nothing, so the bound is counted while reading.
    std::string bytes;
    char buffer[64 * 1024];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.problem = ReadProblem::unreadable;
            break;
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes) {
            result.problem = ReadProblem::tooLarge;
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    if (result.problem == ReadProblem::none) result.bytes = std::move(bytes);
    return result;
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t maxBytes) {
    return readRegularFile(path, maxBytes).bytes;
}

std::string readProblemText(ReadProblem problem, std::size_t maxBytes) {
    switch (problem) {
    case ReadProblem::none:
        return "was read";
    case ReadProblem::absent:
        return "does not exist";
    case ReadProblem::notRegularFile:
        return "is not a regular file";
    case ReadProblem::tooLarge:
        return "is larger than " + std::to_string(maxBytes >> 20) + " MB";
    case ReadProblem::unreadable:
        break;
    }
    return "could not be read";
}

void removeLeftoverTemporaries(const std::filesystem::path& path) {
    removeStaleTemporaries(temporaryPrefix(throughLinks(path)));
}

std::optional<std::filesystem::path> keepUnreadableFile(const std::filesystem::path& path) {
    return keepFileAside(path, "unreadable");
}

std::optional<std::filesystem::path> keepFileAside(const std::filesystem::path& path, const std::string& label) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::filesystem::path base = path;
    base += "." + label + "-" + stamp;
    std::filesystem::path target = base;
    for (int i = 2; std::filesystem::exists(target); ++i) {
        target = base;
        target += "-" + std::to_string(i);
    }
    if (::rename(path.c_str(), target.c_str()) != 0) return std::nullopt;
    syncFolder(path.parent_path());
    return target;
}

} // namespace knokle
