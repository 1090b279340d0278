#include "common/NoFollowFiles.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace knokle {
namespace {

namespace fs = std::filesystem;

// The parts of `path` below `root`, or nothing when it is not below it (or is the root).
std::optional<std::vector<std::string>> partsBelow(const fs::path& root, const fs::path& path) {
    fs::path relative = path.lexically_normal().lexically_relative(root.lexically_normal());
    std::vector<std::string> parts;
    for (const auto& part : relative) {
        std::string name = part.string();
        if (name.empty() || name == ".") continue;
        if (name == "..") return std::nullopt;
        parts.push_back(name);
    }
    if (relative.empty() || parts.empty()) return std::nullopt;
    return parts;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd(fd) {}
    ~Fd() {
        if (fd >= 0) ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd(other.fd) { other.fd = -1; }
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd, other.fd);
        return *this;
    }
    int get() const { return fd; }

private:
    int fd;
};

// Opens the folder made of the first `count` parts below the root, making missing ones when asked.
Fd openFolder(const fs::path& root, const std::vector<std::string>& parts, std::size_t count, bool create) {
    Fd folder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (std::size_t i = 0; i < count && folder.get() >= 0; ++i) {
        int next = ::openat(folder.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (next < 0 && errno == ENOENT && create) {
            if (::mkdirat(folder.get(), parts[i].c_str(), 0700) != 0 && errno != EEXIST) return Fd();
            next = ::openat(folder.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        folder = Fd(next);
    }
    return folder;
}

} // namespace

std::vector<fs::path> missingFoldersBelow(const fs::path& root, const fs::path& folder) {
    std::vector<fs::path> missing;
    auto parts = partsBelow(root, folder);
    if (!parts) return missing;
    fs::path at = root;
    Fd current(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (const auto& part : *parts) {
        at /= part;
        if (current.get() >= 0) {
            int next = ::openat(current.get(), part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            bool absent = next < 0 && errno == ENOENT;
            current = Fd(next);
            if (!absent) continue;
        }
        missing.push_back(at);
    }
    return missing;
}

bool writeFileBelow(const fs::path& root, const fs::path& file, std::string_view bytes, mode_t mode) {
    auto parts = partsBelow(root, file);
    if (!parts) {
        errno = EINVAL;
        return false;
    }
    Fd folder = openFolder(root, *parts, parts->size() - 1, true);
    if (folder.get() < 0) return false;
    const std::string& name = parts->back();
    std::string temporary;
    int fd = -1;
    std::random_device random;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(random() % 1000000);
        fd = ::openat(folder.get(), temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;
    bool ok = true;
    for (std::string_view left = bytes; ok && !left.empty();) {
        ssize_t n = ::write(fd, left.data(), left.size());
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) left.remove_prefix(static_cast<std::size_t>(n));
    }
    ok = ok && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::renameat(folder.get(), temporary.c_str(), folder.get(), name.c_str()) != 0) {
        int error = errno;
        ::unlinkat(folder.get(), temporary.c_str(), 0);
        errno = error;
        return false;
    }
    ::fsync(folder.get());
    return true;
}

std::optional<std::string> readFileBelow(const fs::path& root, const fs::path& file, std::size_t maxBytes) {
    auto parts = partsBelow(root, file);
    if (!parts) return std::nullopt;
    Fd folder = openFolder(root, *parts, parts->size() - 1, false);
    if (folder.get() < 0) return std::nullopt;
    Fd fd(::openat(folder.get(), parts->back().c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat info {};
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    std::string bytes;
    char buffer[16 * 1024];
    for (ssize_t n; (n = ::read(fd.get(), buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || bytes.size() + static_cast<std::size_t>(n) > maxBytes) return std::nullopt;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return bytes;
}

bool removeBelow(const fs::path& root, const fs::path& path, bool folder) {
    auto parts = partsBelow(root, path);
    if (!parts) {
        errno = EINVAL;
        return false;
    }
    Fd parent = openFolder(root, *parts, parts->size() - 1, false);
    return parent.get() >= 0 && ::unlinkat(parent.get(), parts->back().c_str(), folder ? AT_REMOVEDIR : 0) == 0;
}

std::string contentHash(std::string_view bytes) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : bytes) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

} // namespace knokle
