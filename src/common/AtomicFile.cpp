#include "common/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sstream>
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

// Like mkstemp, but created 0666 less the umask, as any new file of the user's would be.
int createTemporary(const std::string& prefix, std::string& name) {
    static constexpr char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix;
        for (int i = 0; i < kRandomLength; ++i)
            name += letters[random() % (sizeof letters - 1)];
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    return -1;
}

// Temporary files a crash left behind: ours, regular, and untouched for a minute (so never one that another
// process is writing right now).
void removeStaleTemporaries(const std::string& prefix) {
    std::filesystem::path folder = std::filesystem::path(prefix).parent_path();
    std::string stem = std::filesystem::path(prefix).filename().string();
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder.empty() ? "." : folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.size() != stem.size() + kRandomLength || name.compare(0, stem.size(), stem) != 0) continue;
        struct stat info {};
        if (::lstat(entry.path().c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) continue;
        if (std::time(nullptr) - info.st_mtime > 60) ::unlink(entry.path().c_str());
    }
}

} // namespace

bool writeFileAtomically(const std::filesystem::path& requested, std::string_view bytes, SymbolicLinks links) {
    std::filesystem::path path = links == SymbolicLinks::writeThrough ? throughLinks(requested) : requested;
    std::string prefix = (path.parent_path() / ("." + path.filename().string() + ".")).string();
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

std::optional<std::string> readWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return content.str();
}

std::optional<std::filesystem::path> keepUnreadableFile(const std::filesystem::path& path) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::filesystem::path base = path;
    base += std::string(".unreadable-") + stamp;
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
