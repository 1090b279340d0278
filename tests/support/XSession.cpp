#include "XSession.h"

#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace knokle::test {
namespace {

pid_t spawn(const std::vector<std::string>& args, const std::string& display, int keepFd = -1) {
    pid_t pid = fork();
    if (pid != 0) return pid;
    if (!display.empty()) setenv("DISPLAY", display.c_str(), 1);
    int devNull = open("/dev/null", O_RDWR);
    for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO})
        dup2(devNull, fd);
    for (int fd = 3; fd < 1024; ++fd)
        if (fd != keepFd) close(fd);
    setpgid(0, 0);
    std::vector<char*> argv;
    for (const auto& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
}

} // namespace

XSession::XSession(bool withWindowManager) {
    int fds[2];
    if (pipe(fds) != 0) {
        failure = "pipe failed";
        return;
    }
    // -noreset: the server must not reset when its last client leaves, or a test that reconnects races it.
    children.push_back(spawn(
        {"Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x800x24", "-nolisten", "tcp", "-noreset"},
        "", fds[1]));
    close(fds[1]);
    // Xvfb writes its display number once it accepts connections; the pipe ends empty if it cannot start.
    char number[16] = "";
    FILE* fromServer = fdopen(fds[0], "r");
    bool started = fgets(number, sizeof number, fromServer) && std::isdigit(static_cast<unsigned char>(number[0]));
    fclose(fromServer);
    if (!started) {
        failure = "Xvfb did not start (is the xvfb package installed?)";
        return;
    }
    displayName = ":" + std::to_string(std::atoi(number));
    if (!withWindowManager) return;
    children.push_back(spawn({"openbox", "--sm-disable"}, displayName));
    // EWMH requests sent before the window manager announces itself are ignored.
    if (run("for i in $(seq 200); do xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' && exit 0; "
            "sleep 0.05; done; exit 1") != 0) {
        failure = "openbox did not start";
        displayName.clear();
    }
}

XSession::~XSession() {
    while (!children.empty())
        stop(children.back());
}

void XSession::stop(pid_t pid) {
    std::erase(children, pid);
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
}

pid_t XSession::launch(const std::vector<std::string>& argv) {
    return children.emplace_back(spawn(argv, displayName));
}

int XSession::run(const std::string& command) const {
    int status = std::system(("export DISPLAY=" + displayName + "; " + command).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace knokle::test
