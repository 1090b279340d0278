// CPU time of polling an IIO accelerometer at 200 Hz: three kept channel files read with pread on a precise
// timer, against a fake sysfs tree (regular files, so the kernel's driver work is not in the figure). Target:
// at most 0.5 % of one core.
//
//   build/bench/iio_poll_cpu [SECONDS]

#include "platform/linux/runtime/QtMainLoop.h"
#include "platform/linux/sensors/AccelerometerDiscovery.h"
#include "platform/linux/sensors/IioAccelerometer.h"

#include <QCoreApplication>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sys/resource.h>
#include <unistd.h>

using namespace knokle;
namespace fs = std::filesystem;

namespace {

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

// The same wake-ups with nothing read: what the machine charges for sleeping to a deadline 200 times a second.
double bareWakeups(double seconds) {
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    double before = cpuSeconds();
    for (long i = 0; i < static_cast<long>(seconds * 200); ++i) {
        next.tv_nsec += 5000000;
        if (next.tv_nsec >= 1000000000) {
            next.tv_nsec -= 1000000000;
            ++next.tv_sec;
        }
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
    }
    return cpuSeconds() - before;
}

int main(int argc, char** argv) {
    double seconds = argc > 1 ? std::atof(argv[1]) : 10;
    double bare = bareWakeups(seconds);
    std::printf("bare 200 Hz wake-ups: CPU %.3f s = %.3f %% of one core\n", bare, bare / seconds * 100);
    QCoreApplication app(argc, argv);
    char pattern[] = "/tmp/knokle-iio-bench-XXXXXX";
    fs::path root = mkdtemp(pattern);
    fs::path folder = root / "bus/iio/devices/iio:device0";
    fs::create_directories(folder);
    for (const char* axis : {"x", "y", "z"})
        std::ofstream(folder / (std::string("in_accel_") + axis + "_raw")) << "12\n";
    std::ofstream(folder / "in_accel_scale") << "0.009580\n";
    std::ofstream(folder / "sampling_frequency") << "200\n";
    std::ofstream(folder / "name") << "bench_accel\n";

    QtMainLoop loop;
    IioAccelerometer accel(loop, discoverAccelerometers(root, root).at(0));
    long samples = 0;
    accel.onSample = [&](double, double, double, double) { ++samples; };
    accel.start();
    double before = cpuSeconds();
    QTimer::singleShot(static_cast<int>(seconds * 1000), &app, &QCoreApplication::quit);
    QCoreApplication::exec();
    double used = cpuSeconds() - before;
    std::printf("polls: %ld in %.1f s (%.1f Hz), samples: %ld, CPU: %.3f s = %.3f %% of one core (target <= 0.5 %%)\n",
                accel.polls(), seconds, accel.polls() / seconds, samples, used, used / seconds * 100);
    fs::remove_all(root);
    return used / seconds * 100 <= 0.5 ? 0 : 1;
}
