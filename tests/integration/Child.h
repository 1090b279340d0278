#pragma once

// Processes the integration tests start, and waiting on what they do.

#include "ProgramRun.h"
#include "common/AtomicFile.h"

#include <algorithm>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace knokle::test {

inline bool waitFor(const std::function<bool()>& done, int limitMs = 10000) {
    for (int waited = 0; waited < limitMs; waited += 20) {
        if (done()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return done();
}

inline std::string text(const std::filesystem::path& file) {
    return readWholeFile(file).value_or("");
}

// Standard output of a shell command.
inline std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
            out.append(buffer, n);
        ::pclose(pipe);
    }
    return out;
}

// The test's own environment with these "NAME=value" entries in place of its own.
inline std::vector<std::string> inherited(std::vector<std::string> extra) {
    for (char** e = environ; *e; ++e) {
        std::string entry = *e, name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(extra.begin(), extra.end(), [&](const std::string& x) { return x.starts_with(name); }))
            extra.push_back(entry);
    }
    return extra;
}

// A child process in a process group of its own, its output in a file; killed with its group at the end.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
          const std::filesystem::path& output)
        : output(output) {
        auto pointers = [](const std::vector<std::string>& strings) {
            std::vector<char*> out;
            for (const auto& s : strings)
                out.push_back(const_cast<char*>(s.c_str()));
            out.push_back(nullptr);
            return out;
        };
        auto args = pointers(argv), env = pointers(environment);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        posix_spawn_file_actions_adddup2(&files, 1, 2);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attributes, 0);
        if (posix_spawnp(&pid, args[0], &files, &attributes, args.data(), env.data()) != 0) pid = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&files);
    }
    Child(const Child&) = delete;
    ~Child() { stop(); }

    // The exit status once the process has ended within the time, else nothing.
    std::optional<int> wait(int limitMs) {
        int status = 0;
        if (pid <= 0 || !waitFor([&] { return ::waitpid(pid, &status, WNOHANG) == pid; }, limitMs)) return {};
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // Asks the process group to end, then makes it.
    void stop() {
        if (pid <= 0) return;
        ::kill(-pid, SIGTERM);
        if (wait(2000)) return;
        ::kill(-pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        pid = -1;
    }
    pid_t id() const { return pid; }

    // The whole lines printed so far.
    std::vector<std::string> lines() const {
        std::string out = text(output);
        return ProgramResult{0, out.substr(0, out.rfind('\n') + 1)}.lines();
    }

private:
    pid_t pid = -1;
    std::filesystem::path output;
};

} // namespace knokle::test
