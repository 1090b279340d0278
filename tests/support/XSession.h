#pragma once

#include <string>
#include <sys/types.h>

namespace knokle::test {

// A private X server (Xvfb, display chosen by the server through -displayfd) and, when asked, openbox on
// it. Both are stopped when the session is destroyed. Nothing here touches the caller's DISPLAY.
class XSession {
public:
    explicit XSession(bool withWindowManager = false);
    ~XSession();
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool ok() const { return !displayName.empty(); }
    // ":N", for DISPLAY in child processes and for XOpenDisplay.
    const std::string& display() const { return displayName; }
    // Why the session could not start, when !ok().
    const std::string& error() const { return failure; }

    // Runs a command (through /bin/sh) with DISPLAY set to this session; returns its exit status.
    int run(const std::string& command) const;

private:
    bool waitForWindowManager(int timeoutMs);

    pid_t xvfb = -1;
    pid_t windowManager = -1;
    std::string displayName;
    std::string failure;
};

} // namespace knokle::test
