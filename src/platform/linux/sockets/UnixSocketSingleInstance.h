#pragma once

#include "platform/SingleInstance.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>

class QSocketNotifier;
class QTimer;

namespace knokle {

// The running instance holds a lock file and listens on a Unix socket beside it, in a folder only this user
// can enter; a later launch that cannot take the lock connects and sends "show STARTUP-ID", then, when it has
// one, "activate TOKEN" on a second line of the same write (an earlier release reads the first line alone).
class UnixSocketSingleInstance final : public SingleInstance {
public:
    // `identity` tells instances apart (programs with different settings folders run side by side); the
    // socket lives in `runtimeFolder`, which must be private to this user. A later launch waits `answerWait`
    // for the running one to take its request.
    explicit UnixSocketSingleInstance(const std::string& identity,
                                      std::filesystem::path runtimeFolder = defaultRuntimeFolder(),
                                      std::chrono::milliseconds answerWait = std::chrono::seconds(2));
    ~UnixSocketSingleInstance() override;
    UnixSocketSingleInstance(const UnixSocketSingleInstance&) = delete;
    UnixSocketSingleInstance& operator=(const UnixSocketSingleInstance&) = delete;

    // $XDG_RUNTIME_DIR when it is private to this user, else /tmp/knokle-UID (made private); empty when
    // neither is.
    static std::filesystem::path defaultRuntimeFolder();

    Claim claim(const LaunchRequest& launch) override;
    void listen(std::function<void(const LaunchRequest& launch)> onLaunch) override;

    const std::filesystem::path& socketPath() const { return socketFile; }

private:
    // A connection whose request is still coming: read as it arrives, never waited for on the main loop.
    struct Pending {
        std::string line;
        std::unique_ptr<QSocketNotifier> notifier;
        std::unique_ptr<QTimer> timer;
    };

    Claim handOver(const LaunchRequest& launch) const;
    void acceptWaiting();
    void readPending(int fd);
    void dropPending(int fd);

    std::filesystem::path folder;
    std::chrono::milliseconds answerWait;
    std::filesystem::path socketFile;
    std::filesystem::path lockFile;
    int lockFd = -1;
    int listenFd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
    std::function<void(const LaunchRequest&)> onLaunch;
    std::map<int, Pending> pending;
};

} // namespace knokle
