#pragma once

#include "Child.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

namespace knokle::test {

// A private X server (Xvfb) and, when asked, openbox on it; they and every program launched on the session
// are stopped when it is destroyed. The caller's DISPLAY is left alone.
class XSession {
public:
    explicit XSession(bool withWindowManager = false) {
        int fds[2];
        if (::pipe(fds) != 0) return;
        // -noreset: the server must not reset when its last client leaves, or a test that reconnects races it.
        launch({"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x800x24", "-nolisten", "tcp",
                "-noreset"});
        ::close(fds[1]);
        // Xvfb writes its display number once it accepts connections; the pipe ends empty if it cannot start.
        char number[16] = "";
        FILE* fromServer = ::fdopen(fds[0], "r");
        bool started = std::fgets(number, sizeof number, fromServer) && std::isdigit(number[0]);
        std::fclose(fromServer);
        if (!started) {
            failure = "Xvfb did not start (is the xvfb package installed?)";
            return;
        }
        displayName = ":" + std::to_string(std::atoi(number));
        if (!withWindowManager) return;
        launch({"openbox", "--sm-disable"});
        // EWMH requests sent before the window manager announces itself are ignored.
        if (run("for i in $(seq 200); do xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' && exit 0; "
                "sleep 0.05; done; exit 1") != 0) {
            failure = "openbox did not start";
            displayName.clear();
        }
    }
    ~XSession() {
        while (!children.empty())
            children.pop_back(); // the newest first, the server last
    }
    XSession(const XSession&) = delete;
    XSession& operator=(const XSession&) = delete;

    bool ok() const { return !displayName.empty(); }
    // ":N", for DISPLAY in child processes and for XOpenDisplay.
    const std::string& display() const { return displayName; }
    // Why the session could not start, when !ok().
    const std::string& error() const { return failure; }

    // Runs a command (through /bin/sh) with DISPLAY set to this session; returns its exit status.
    int run(const std::string& command) const {
        int status = std::system(("export DISPLAY=" + displayName + "; " + command).c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Starts a program on this display without waiting for it (output discarded).
    pid_t launch(const std::vector<std::string>& argv) {
        auto environment =
            inherited(displayName.empty() ? std::vector<std::string>{} : std::vector{"DISPLAY=" + displayName});
        return children.emplace_back(std::make_unique<Child>(argv, environment, "/dev/null"))->id();
    }
    // Stops a launched program now.
    void stop(pid_t pid) {
        std::erase_if(children, [&](const auto& child) { return child->id() == pid; });
    }

private:
    std::vector<std::unique_ptr<Child>> children;
    std::string displayName;
    std::string failure = "could not start Xvfb";
};

} // namespace knokle::test
