#pragma once

// A PulseAudio server of the test's own on a private runtime folder, with one null sink whose monitor source
// carries whatever is played into it. Header-only; the pulseaudio and pulseaudio-utils packages provide it.

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace knokle::test {

inline bool pulseServerInstalled() {
    return ::access("/usr/bin/pulseaudio", X_OK) == 0 && ::access("/usr/bin/pactl", X_OK) == 0 &&
           ::access("/usr/bin/paplay", X_OK) == 0;
}

class PulseServer {
public:
    // `root` holds the server's runtime folder and home; the socket is root/native.
    explicit PulseServer(std::filesystem::path root, bool startNow = true) : root(std::move(root)) {
        std::filesystem::create_directories(this->root / "run");
        std::filesystem::create_directories(this->root / "home");
        std::filesystem::permissions(this->root / "run", std::filesystem::perms::owner_all);
        std::ofstream(this->root / "server.pa")
            << "load-module module-null-sink sink_name=taps rate=48000 channels=2\n"
               "load-module module-native-protocol-unix auth-anonymous=1 socket="
            << socket().string() << "\n";
        if (startNow) start();
    }
    ~PulseServer() { stop(); }
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    std::filesystem::path socket() const { return root / "native"; }
    std::string address() const { return "unix:" + socket().string(); }

    // Starts the server and waits until it answers; false when it does not within five seconds.
    bool start() {
        stop();
        std::filesystem::remove(socket());
        pid = spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--disallow-exit",
                     "--use-pid-file=no", "-F", (root / "server.pa").string()},
                    root / "server.log");
        for (int i = 0; i < 250; ++i) {
            if (run({"pactl", "info"}) == 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }
    void stop() {
        if (pid <= 0) return;
        ::kill(pid, SIGTERM);
        int status = 0;
        for (int i = 0; i < 100 && ::waitpid(pid, &status, WNOHANG) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        if (::waitpid(pid, &status, WNOHANG) == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
        pid = -1;
    }

    // Runs a client program of the server's (pactl, paplay) to its end; its exit status.
    int run(const std::vector<std::string>& argv, std::string* output = nullptr) const {
        auto file = root / ("client" + std::to_string(++runs) + ".out");
        pid_t child = spawn(argv, file);
        int status = 0;
        if (child <= 0 || ::waitpid(child, &status, 0) != child) return -1;
        if (output) {
            std::ifstream in(file);
            output->assign(std::istreambuf_iterator<char>(in), {});
        }
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string pactl(const std::vector<std::string>& args) const {
        std::vector<std::string> argv{"pactl"};
        argv.insert(argv.end(), args.begin(), args.end());
        std::string out;
        run(argv, &out);
        return out;
    }
    // Plays a sound file into the null sink, so the monitor source carries it.
    bool play(const std::filesystem::path& file) const { return run({"paplay", "-d", "taps", file.string()}) == 0; }

private:
    pid_t spawn(const std::vector<std::string>& argv, const std::filesystem::path& output) const {
        std::vector<std::string> environment{"PULSE_SERVER=" + address(), "XDG_RUNTIME_DIR=" + (root / "run").string(),
                                             "HOME=" + (root / "home").string(), "PATH=/usr/bin:/bin",
                                             "DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent"};
        std::vector<char*> args, env;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (const auto& e : environment)
            env.push_back(const_cast<char*>(e.c_str()));
        env.push_back(nullptr);
        posix_spawn_file_actions_t files;
        posix_spawn_file_actions_init(&files);
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&files, 1, 2);
        pid_t child = -1;
        if (posix_spawnp(&child, args[0], &files, nullptr, args.data(), env.data()) != 0) child = -1;
        posix_spawn_file_actions_destroy(&files);
        return child;
    }

    std::filesystem::path root;
    pid_t pid = -1;
    mutable std::atomic<int> runs{0};
};

} // namespace knokle::test
