#pragma once

// A PulseAudio server of the test's own on a private runtime folder, with one null sink whose monitor source
// carries whatever is played into it. Header-only; the pulseaudio and pulseaudio-utils packages provide it.

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace knokle::test {

inline bool pulseServerInstalled() {
    return ::access("/usr/bin/pulseaudio", X_OK) == 0 && ::access("/usr/bin/paplay", X_OK) == 0;
}

class PulseServer {
public:
    // `root` holds the server's runtime folder (run), home and socket (native).
    explicit PulseServer(std::filesystem::path root, bool startNow = true) : root(std::move(root)) {
        std::filesystem::create_directories(this->root / "home");
        std::filesystem::create_directories(this->root / "run");
        std::filesystem::permissions(this->root / "run", std::filesystem::perms::owner_all);
        std::ofstream(this->root / "server.pa") << "load-module module-null-sink sink_name=taps rate=48000 channels=2\n"
                                                   "load-module module-native-protocol-unix auth-anonymous=1 socket="
                                                << (this->root / "native").string() << "\n";
        if (startNow) start();
    }
    ~PulseServer() { stop(); }

    // Starts the server and waits until it answers; false when it does not within five seconds.
    bool start() {
        stop();
        std::filesystem::remove(root / "native");
        pid = std::atoi(run("pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no -F \"" +
                            (root / "server.pa").string() + "\" >>\"" + (root / "server.log").string() +
                            "\" 2>&1 & echo $!")
                            .c_str());
        for (int i = 0; i < 250; ++i, std::this_thread::sleep_for(std::chrono::milliseconds(20)))
            if (run("pactl info >/dev/null 2>&1 && echo up") == "up\n") return true;
        return false;
    }
    // Killed: a crash, as far as its clients can tell.
    void stop() {
        if (pid > 0 && ::kill(pid, SIGKILL) == 0)
            for (int i = 0; i < 100 && ::kill(pid, 0) == 0; ++i) // not our child: wait until it is gone
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        pid = -1;
    }

    // A shell command with the server's environment (pactl, paplay); its output.
    std::string run(const std::string& command) const {
        std::string line = "env -i PATH=/usr/bin:/bin HOME='" + (root / "home").string() + "' XDG_RUNTIME_DIR='" +
                           (root / "run").string() + "' PULSE_SERVER='unix:" + (root / "native").string() +
                           "' DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent sh -c '" + command + "'";
        std::string out;
        if (FILE* pipe = ::popen(line.c_str(), "r")) {
            char buffer[4096];
            for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
                out.append(buffer, n);
            ::pclose(pipe);
        }
        return out;
    }
    std::string pactl(const std::string& args) const { return run("pactl " + args); }
    // Plays a sound file into the null sink, so that the monitor source carries it.
    void play(const std::filesystem::path& file) const { run("paplay -d taps \"" + file.string() + "\""); }

private:
    std::filesystem::path root;
    pid_t pid = -1;
};

} // namespace knokle::test
