#include "XSession.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace knokle::test {
namespace {

pid_t spawn(const char* const argv[], const std::string& display, int keepFd = -1) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    int devNull = open("/dev/null", O_RDWR);
    dup2(devNull, STDIN_FILENO);
    dup2(devNull, STDOUT_FILENO);
    dup2(devNull, STDERR_FILENO);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd) close(fd);
    setpgid(0, 0);
    execvp(argv[0], const_cast<char* const*>(argv));
    _exit(127);
}

void stop(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

} // namespace

XSession::XSession(bool withWindowManager) {
    int fds[2];
    if (pipe(fds) != 0) {
        failure = "pipe failed";
        return;
    }
    std::string fdText = std::to_string(fds[1]);
    const char* argv[] = {"Xvfb",        "-displayfd", fdText.c_str(), "-screen",  "0",
                          "1280x800x24", "-nolisten",  "tcp",          "-noreset", nullptr};
    // -noreset: the server must not reset when its last client leaves, or a test that reconnects races it.
    xvfb = spawn(argv, "", fds[1]);
    close(fds[1]);
    std::string number;
    pollfd pfd{fds[0], POLLIN, 0};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (poll(&pfd, 1, 100) <= 0) continue;
        char c;
        ssize_t n = read(fds[0], &c, 1);
        if (n <= 0) break;
        if (c == '\n') break;
        number.push_back(c);
    }
    close(fds[0]);
    if (number.empty()) {
        failure = "Xvfb did not start (is the xvfb package installed?)";
        stop(xvfb);
        xvfb = -1;
        return;
    }
    displayName = ":" + number;
    if (withWindowManager) {
        const char* wmArgv[] = {"openbox", "--sm-disable", nullptr};
        windowManager = spawn(wmArgv, displayName);
        if (!waitForWindowManager(10000)) {
            failure = "openbox did not start";
            stop(windowManager);
            stop(xvfb);
            windowManager = xvfb = -1;
            displayName.clear();
        }
    }
}

XSession::~XSession() {
    stop(windowManager);
    stop(xvfb);
}

bool XSession::waitForWindowManager(int timeoutMs) {
    // EWMH requests sent before the window manager announces itself are ignored.
    Display* dpy = XOpenDisplay(displayName.c_str());
    if (!dpy) return false;
    Atom check = XInternAtom(dpy, "_NET_SUPPORTING_WM_CHECK", False);
    bool ready = false;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!ready && std::chrono::steady_clock::now() < deadline) {
        Atom type;
        int fmt;
        unsigned long count, after;
        unsigned char* data = nullptr;
        if (XGetWindowProperty(dpy, DefaultRootWindow(dpy), check, 0, 1, False, XA_WINDOW, &type, &fmt, &count, &after,
                               &data) == Success &&
            count == 1)
            ready = true;
        if (data) XFree(data);
        if (!ready) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    XCloseDisplay(dpy);
    return ready;
}

int XSession::run(const std::string& command) const {
    std::string full = "DISPLAY=" + displayName + " " + command;
    int status = std::system(full.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace knokle::test
