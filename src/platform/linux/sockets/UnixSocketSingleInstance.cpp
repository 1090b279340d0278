#include "platform/linux/sockets/UnixSocketSingleInstance.h"

#include "platform/linux/desktop/XdgFolders.h"

#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace knokle {
namespace {

constexpr int kConnectTries = 40; // 1 s: the running instance may be between taking the lock and listening
constexpr std::size_t kMaxMessage = 1024;
constexpr int kRequestWaitMs = 500; // a launch sends its line at once
constexpr std::size_t kMaxPending = 8;

// A folder only this user can use: owned by them, no access for group or others, not a symbolic link.
bool isPrivateFolder(const std::filesystem::path& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == ::getuid() &&
           (status.st_mode & 077) == 0;
}

std::string fnv1a(const std::string& text) {
    std::uint64_t hash = 1469598103934665603ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return hex;
}

bool socketAddress(const std::filesystem::path& path, sockaddr_un& address) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.native().size() >= sizeof address.sun_path) return false;
    std::memcpy(address.sun_path, path.c_str(), path.native().size());
    return true;
}

// Reads up to a line break; false when the peer says nothing within the time.
bool readLine(int fd, std::string& line, int waitMs) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    char buffer[128];
    while (line.size() < kMaxMessage) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0) return false;
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        line.append(buffer, std::size_t(n));
        if (auto end = line.find('\n'); end != std::string::npos) {
            line.resize(end);
            return true;
        }
    }
    return false;
}

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += std::size_t(n);
    }
}

// Startup ids and activation tokens are printable ASCII without spaces; anything else is dropped rather than
// passed on.
std::string cleanStartupId(const std::string& id) {
    if (id.size() > 256) return "";
    for (char c : id)
        if (c < 0x21 || c > 0x7e) return "";
    return id;
}

} // namespace

std::filesystem::path UnixSocketSingleInstance::defaultRuntimeFolder() {
    if (auto runtime = XdgFolders().runtimeDir(); runtime && isPrivateFolder(*runtime)) return *runtime;
    std::filesystem::path fallback = XdgFolders::privateTemporary();
    ::mkdir(fallback.c_str(), 0700);
    return isPrivateFolder(fallback) ? fallback : std::filesystem::path();
}

UnixSocketSingleInstance::UnixSocketSingleInstance(const std::string& identity, std::filesystem::path runtimeFolder,
                                                   std::chrono::milliseconds wait)
    : folder(std::move(runtimeFolder)), answerWait(wait) {
    if (folder.empty()) return;
    std::string base = "knokle-" + fnv1a(identity);
    socketFile = folder / (base + ".socket");
    lockFile = folder / (base + ".lock");
}

UnixSocketSingleInstance::~UnixSocketSingleInstance() {
    while (!pending.empty())
        dropPending(pending.begin()->first);
    notifier.reset();
    if (listenFd >= 0) {
        ::close(listenFd);
        ::unlink(socketFile.c_str());
    }
    // The lock file stays: removing it could let two launches lock two different files.
    if (lockFd >= 0) ::close(lockFd);
}

SingleInstance::Claim UnixSocketSingleInstance::claim(const LaunchRequest& launch) {
    sockaddr_un address;
    if (folder.empty() || !isPrivateFolder(folder) || !socketAddress(socketFile, address)) return Claim::unavailable;
    lockFd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lockFd < 0) return Claim::unavailable;
    if (::flock(lockFd, LOCK_EX | LOCK_NB) != 0) {
        ::close(lockFd);
        lockFd = -1;
        return handOver(launch);
    }
    // The lock is ours, so any socket left here belongs to an instance that has ended.
    ::unlink(socketFile.c_str());
    listenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (listenFd < 0 || ::bind(listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listenFd, 8) != 0) {
        if (listenFd >= 0) ::close(listenFd);
        listenFd = -1;
        return Claim::unavailable;
    }
    return Claim::primary;
}

SingleInstance::Claim UnixSocketSingleInstance::handOver(const LaunchRequest& launch) const {
    sockaddr_un address;
    socketAddress(socketFile, address);
    for (int attempt = 0; attempt < kConnectTries; ++attempt) {
        int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return Claim::noAnswer;
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
            std::string token = cleanStartupId(launch.activationToken);
            writeAll(fd, "show " + cleanStartupId(launch.startupId) + "\n" +
                             (token.empty() ? "" : "activate " + token + "\n"));
            std::string answer;
            bool answered = readLine(fd, answer, int(answerWait.count())) && answer == "ok";
            ::close(fd);
            return answered ? Claim::handedOver : Claim::noAnswer;
        }
        ::close(fd);
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return Claim::noAnswer;
}

void UnixSocketSingleInstance::listen(std::function<void(const LaunchRequest&)> handler) {
    if (listenFd < 0) return;
    onLaunch = std::move(handler);
    notifier = std::make_unique<QSocketNotifier>(listenFd, QSocketNotifier::Read);
    QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(), [this] { acceptWaiting(); });
}

void UnixSocketSingleInstance::acceptWaiting() {
    while (true) {
        int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        ucred peer{};
        socklen_t length = sizeof peer;
        if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0 || peer.uid != ::getuid()) {
            ::close(fd);
            continue;
        }
        // Connections that say nothing make way for newer ones, so that they cannot keep a launch out.
        if (pending.size() >= kMaxPending) dropPending(pending.begin()->first);
        Pending& waiting = pending[fd];
        waiting.notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
        QObject::connect(waiting.notifier.get(), &QSocketNotifier::activated, waiting.notifier.get(),
                         [this, fd] { readPending(fd); });
        waiting.timer = std::make_unique<QTimer>();
        waiting.timer->setSingleShot(true);
        QObject::connect(waiting.timer.get(), &QTimer::timeout, waiting.timer.get(), [this, fd] { dropPending(fd); });
        waiting.timer->start(kRequestWaitMs);
        readPending(fd); // the line may be there already
    }
}

void UnixSocketSingleInstance::readPending(int fd) {
    auto it = pending.find(fd);
    if (it == pending.end()) return;
    std::string& line = it->second.line;
    char buffer[256];
    ssize_t n = -1;
    // Everything there is: the activation line comes in the same write as the request.
    while (line.size() < kMaxMessage && (n = ::read(fd, buffer, sizeof buffer)) > 0)
        line.append(buffer, std::size_t(n));
    auto end = line.find('\n');
    if (end == std::string::npos) {
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR) || line.size() >= kMaxMessage) dropPending(fd);
        return;
    }
    bool request = line.rfind("show", 0) == 0;
    if (request) writeAll(fd, "ok\n");
    LaunchRequest launch;
    launch.startupId = cleanStartupId(end > 5 ? line.substr(5, end - 5) : "");
    std::string rest = line.substr(end + 1);
    if (auto stop = rest.find('\n'); stop != std::string::npos && rest.rfind("activate ", 0) == 0)
        launch.activationToken = cleanStartupId(rest.substr(9, stop - 9));
    dropPending(fd);
    if (!request) return;
    // Queued: showing a window (or an alert with its own event loop) must not run inside the notifier.
    QMetaObject::invokeMethod(
        notifier.get(),
        [this, launch] {
            if (onLaunch) onLaunch(launch);
        },
        Qt::QueuedConnection);
}

void UnixSocketSingleInstance::dropPending(int fd) {
    auto it = pending.find(fd);
    if (it == pending.end()) return;
    // Deleted later: this may run inside the notifier's or the timer's own signal.
    it->second.notifier->setEnabled(false);
    it->second.timer->stop();
    it->second.notifier.release()->deleteLater();
    it->second.timer.release()->deleteLater();
    pending.erase(it);
    ::close(fd);
}

} // namespace knokle
