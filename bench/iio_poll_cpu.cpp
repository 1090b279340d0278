// CPU time of polling an IIO accelerometer at 200 Hz (target: at most 0.5 % of one core), beside a bare thread
// that wakes at the same rate to absolute deadlines and reads nothing. Both run at once in one process, so a
// machine loaded by other work charges them alike; what the poller costs over the bare wake-ups is its own work.
// The fake sysfs tree holds regular files (the kernel's driver work is not in the figure); a child process
// rewrites the x axis 200 times a second, so that samples flow through to the main loop as from a real part.
//
//   build/bench/iio_poll_cpu [SECONDS] [both|poll|bare]
// `poll` and `bare` run one side alone, for timing the two as whole processes against each other.

#include "platform/linux/runtime/QtMainLoop.h"
#include "platform/linux/sensors/AccelerometerDiscovery.h"
#include "platform/linux/sensors/IioAccelerometer.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;

namespace {

constexpr long kInterval = 5000000; // ns: 200 Hz

double processCpu() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double threadCpu() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec + now.tv_nsec / 1e9;
}

void nextDeadline(timespec& at) {
    at.tv_nsec += kInterval;
    if (at.tv_nsec >= 1000000000) {
        at.tv_nsec -= 1000000000;
        ++at.tv_sec;
    }
}

// Sleeps to absolute 200 Hz deadlines until told to stop; returns the thread's CPU time.
void bareWakeups(const std::atomic<bool>& stop, double& cpu) {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    double before = threadCpu();
    while (!stop) {
        nextDeadline(next);
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    cpu = threadCpu() - before;
}

// A child that changes the x reading 200 times a second (same length, so a read never sees half of it).
pid_t startWriter(const fs::path& file) {
    pid_t child = fork();
    if (child != 0) return child;
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    int fd = ::open(file.c_str(), O_WRONLY);
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    for (long i = 0;; ++i) {
        const char* text = i % 2 ? "13\n" : "12\n";
        if (::pwrite(fd, text, 3, 0) != 3) _exit(1);
        nextDeadline(next);
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
}

} // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    std::string mode = argc > 2 ? argv[2] : "both";
    bool poll = mode != "bare", bare = mode != "poll";

    char pattern[] = "/tmp/knokle-iio-bench-XXXXXX";
    fs::path root = mkdtemp(pattern);
    fs::path folder = root / "bus/iio/devices/iio:device0";
    fs::create_directories(folder);
    for (const char* axis : {"x", "y", "z"})
        std::ofstream(folder / (std::string("in_accel_") + axis + "_raw")) << "12\n";
    std::ofstream(folder / "in_accel_scale") << "0.009580\n";
    std::ofstream(folder / "sampling_frequency") << "200\n";
    std::ofstream(folder / "name") << "bench_accel\n";
    pid_t writer = startWriter(folder / "in_accel_x_raw"); // before any thread, so the child is a plain copy

    QCoreApplication app(argc, argv);
    QtMainLoop loop;
    IioAccelerometer accel(loop, discoverAccelerometers(root, root).at(0));
    long samples = 0;
    accel.onSample = [&](double, double, double, double) { ++samples; };

    std::atomic<bool> stop{false};
    double bareCpu = 0;
    double before = processCpu();
    std::thread bareThread;
    if (bare) bareThread = std::thread(bareWakeups, std::cref(stop), std::ref(bareCpu));
    if (poll) accel.start();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    stop = true;
    if (bareThread.joinable()) bareThread.join();
    accel.stop();
    double used = processCpu() - before;
    kill(writer, SIGKILL);
    waitpid(writer, nullptr, 0);
    fs::remove_all(root);

    if (bare)
        std::printf("bare 200 Hz wake-ups: CPU %.3f s = %.3f %% of one core\n", bareCpu, bareCpu / seconds * 100);
    if (poll) {
        double own = used - bareCpu;
        std::printf("poller: %ld polls in %.1f s (%.1f Hz), %ld samples delivered, CPU %.3f s = %.3f %% of one core "
                    "(target <= 0.5 %%)%s\n",
                    accel.polls(), seconds, accel.polls() / seconds, samples, own, own / seconds * 100,
                    bare ? ", run beside the bare wake-ups" : "");
    }
    return 0;
}
