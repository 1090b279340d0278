#pragma once

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace knokle::test {

// A program (or the knokle executable) running in a process group of its own while the test watches its
// output; stopped when destroyed. environment entries are "NAME=value", added to the test's own.
class RunningProgram {
public:
    RunningProgram(const std::vector<std::string>& argv, const std::vector<std::string>& environment) {
        int out[2];
        if (::pipe(out) != 0) return;
        pid = ::fork();
        if (pid == 0) {
            ::setpgid(0, 0);
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(out[1], STDERR_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            for (const auto& variable : environment)
                ::putenv(const_cast<char*>(variable.c_str()));
            std::vector<char*> args;
            for (const auto& arg : argv)
                args.push_back(const_cast<char*>(arg.c_str()));
            args.push_back(nullptr);
            ::execvp(args[0], args.data());
            ::_exit(127);
        }
        ::close(out[1]);
        output = out[0];
        if (pid > 0) ::setpgid(pid, pid);
    }
    ~RunningProgram() { stop(); }
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    // Waits (at most the limit) until a line for which `done` holds has been printed; the lines so far.
    template <typename Done> std::vector<std::string> linesUntil(Done done, std::chrono::milliseconds limit) {
        auto deadline = std::chrono::steady_clock::now() + limit;
        while (std::chrono::steady_clock::now() < deadline) {
            for (const auto& line : lines)
                if (done(line)) return lines;
            pollfd pfd{output, POLLIN, 0};
            if (::poll(&pfd, 1, 50) <= 0) continue;
            char buffer[4096];
            ssize_t n = ::read(output, buffer, sizeof buffer);
            if (n <= 0) break;
            pending.append(buffer, static_cast<size_t>(n));
            for (size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                lines.push_back(pending.substr(0, end));
        }
        return lines;
    }

    void stop() {
        if (pid <= 0) return;
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(output);
        pid = -1;
    }
    pid_t processId() const { return pid; }

private:
    pid_t pid = -1;
    int output = -1;
    std::string pending;
    std::vector<std::string> lines;
};

} // namespace knokle::test
