#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace knokle::test {

// A private X server (Xvfb) and, when asked, openbox on it; they and every program launched on the session
// are stopped when it is destroyed. The caller's DISPLAY is left alone.
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
    // Starts a program on this display without waiting for it (no shell, output discarded).
    pid_t launch(const std::vector<std::string>& argv);
    // Stops a launched program now (SIGTERM, then SIGKILL) and reaps it.
    void stop(pid_t pid);

private:
    std::vector<pid_t> children; // the server, the window manager, launched programs: stopped in reverse
    std::string displayName;
    std::string failure;
};

} // namespace knokle::test
