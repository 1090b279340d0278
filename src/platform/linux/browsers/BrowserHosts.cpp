#include "platform/linux/browsers/BrowserHosts.h"
#include "common/JsonNesting.h"
#include "platform/linux/desktop/XdgFolders.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <nlohmann/json.hpp>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace knokle {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

bool writeAll(int fd, std::string_view data, Clock::time_point deadline) {
    while (!data.empty()) {
        pollfd pfd{fd, POLLOUT, 0};
        if (::poll(&pfd, 1, remainingMs(deadline)) <= 0) return false;
        ssize_t n = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

std::optional<std::string> readFrame(int fd, Clock::time_point deadline) {
    std::string buffer;
    while (true) {
        if (auto message = takeFrame(buffer, 1u << 20)) return message;
        pollfd pfd{fd, POLLIN, 0};
        if (::poll(&pfd, 1, remainingMs(deadline)) <= 0) return std::nullopt;
        char chunk[4096];
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return std::nullopt;
        buffer.append(chunk, static_cast<size_t>(n));
    }
}

bool ownerOnly(const struct stat& info) {
    return info.st_uid == ::getuid() && (info.st_mode & (S_IRWXG | S_IRWXO)) == 0;
}

} // namespace

std::string framed(std::string_view message) {
    auto length = static_cast<std::uint32_t>(message.size());
    std::string out(sizeof length, '\0');
    std::memcpy(out.data(), &length, sizeof length);
    out.append(message);
    return out;
}

std::optional<std::string> takeFrame(std::string& buffer, size_t limit) {
    std::uint32_t length = 0;
    if (buffer.size() < sizeof length) return std::nullopt;
    std::memcpy(&length, buffer.data(), sizeof length);
    if (length > limit) {
        buffer.clear();
        return std::string();
    }
    if (buffer.size() - sizeof length < length) return std::nullopt;
    std::string message = buffer.substr(sizeof length, length);
    buffer.erase(0, sizeof length + length);
    return message;
}

std::string browserSlug(std::string_view applicationName) {
    std::string slug;
    for (char c : applicationName) {
        if (c >= 'A' && c <= 'Z')
            slug.push_back(static_cast<char>(c - 'A' + 'a'));
        else if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
            slug.push_back(c);
        else if (!slug.empty() && slug.back() != '-')
            slug.push_back('-');
    }
    while (!slug.empty() && slug.back() == '-')
        slug.pop_back();
    return slug;
}

std::optional<fs::path> browserHostFolder(std::string& why, std::optional<fs::path> runtimeDir) {
    fs::path base;
    if (runtimeDir) {
        base = *runtimeDir;
    } else if (auto dir = XdgFolders().runtimeDir()) {
        base = *dir;
    }
    fs::path folder = base.empty() ? XdgFolders::privateTemporary() : base / "knokle";
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        why = "cannot make " + folder.string() + ": " + std::strerror(errno);
        return std::nullopt;
    }
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        why = folder.string() + " is not a folder";
        return std::nullopt;
    }
    // Another user's folder, or one others may enter, could hand us their sockets: refuse it.
    if (!ownerOnly(info)) {
        why = folder.string() + " is not a folder of this user's alone";
        // In /tmp anyone may have made it first.
        if (base.empty())
            why += "; set XDG_RUNTIME_DIR to a folder only you can enter (your desktop session normally does), "
                   "or have " +
                   folder.string() + " removed";
        return std::nullopt;
    }
    return folder;
}

int connectToHost(const fs::path& socketPath, std::string& why, bool* connectionRefused) {
    if (connectionRefused) *connectionRefused = false;
    struct stat info {};
    if (::lstat(socketPath.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode) || !ownerOnly(info)) {
        why = socketPath.string() + " is not a socket of this user's alone";
        return -1;
    }
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.native().size() >= sizeof address.sun_path) {
        why = socketPath.string() + " is too long a socket path";
        return -1;
    }
    std::strcpy(address.sun_path, socketPath.c_str());
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::strerror(errno);
        return -1;
    }
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        if (connectionRefused) *connectionRefused = errno == ECONNREFUSED;
        why = "its Knokle host does not answer (" + std::string(std::strerror(errno)) + ")";
        ::close(fd);
        return -1;
    }
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid()) {
        why = "the process behind " + socketPath.string() + " is not this user's";
        ::close(fd);
        return -1;
    }
    return fd;
}

std::vector<LiveHost> liveBrowserHosts(const fs::path& folder) {
    std::vector<LiveHost> hosts;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
        std::string name = it->path().filename().string();
        // "browser-SLUG-PID.socket"
        if (!name.starts_with("browser-") || !name.ends_with(".socket")) continue;
        std::string middle = name.substr(8, name.size() - 8 - 7);
        size_t dash = middle.rfind('-');
        if (dash == std::string::npos || dash == 0) continue;
        std::string why;
        bool refused = false;
        int fd = connectToHost(it->path(), why, &refused);
        if (fd < 0) {
            if (refused) fs::remove(it->path(), ec); // its host is gone
            continue;
        }
        ::close(fd);
        hosts.push_back({middle.substr(0, dash), it->path()});
    }
    return hosts;
}

TabClosingResult askHostToCloseTabs(const fs::path& socket, const std::string& matchText,
                                    std::chrono::milliseconds timeout) {
    auto deadline = Clock::now() + timeout;
    std::string why;
    int fd = connectToHost(socket, why);
    if (fd < 0) return {std::nullopt, why};
    std::optional<std::string> reply;
    if (writeAll(fd, framed(nlohmann::json{{"closeTabs", matchText}}.dump()), deadline))
        reply = readFrame(fd, deadline);
    ::close(fd);
    if (!reply) return {std::nullopt, "its Knokle extension did not answer in time"};
    auto answer = jsonNestingWithin(*reply) ? nlohmann::json::parse(*reply, nullptr, false) : nlohmann::json();
    if (answer.is_object() && answer.contains("closed") && answer["closed"].is_number_integer())
        return {answer["closed"].get<std::int32_t>(), std::nullopt};
    if (answer.is_object() && answer.contains("error") && answer["error"].is_string())
        return {std::nullopt, answer["error"].get<std::string>()};
    return {std::nullopt, "its Knokle extension sent an unreadable answer"};
}

} // namespace knokle
