#include "platform/linux/sensors/IioAccelerometer.h"

#include "common/SampleClock.h"
#include "platform/linux/sensors/AccelerometerDiscovery.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <unistd.h>

namespace knokle {
namespace fs = std::filesystem;

namespace {

constexpr double kStandardGravity = 9.80665;
constexpr const char* kAxes[] = {"x", "y", "z"};
constexpr long kNanosecond = 1000000000L;

double numberIn(const fs::path& folder, std::initializer_list<std::string> names, double fallback) {
    for (const auto& name : names)
        if (auto line = readFirstLine(folder / name)) return std::strtod(line->c_str(), nullptr);
    return fallback;
}

void addNanoseconds(timespec& time, long ns) {
    time.tv_nsec += ns;
    while (time.tv_nsec >= kNanosecond) {
        time.tv_nsec -= kNanosecond;
        ++time.tv_sec;
    }
}

} // namespace

IioAccelerometer::IioAccelerometer(MainLoop& loop, AccelerometerInfo info) : loop(loop), info(std::move(info)) {}

IioAccelerometer::~IioAccelerometer() {
    stop();
}

double IioAccelerometer::pollRate() const {
    return std::clamp(info.rate > 0 ? info.rate : unknownRate, 1.0, maxPollRate);
}

bool IioAccelerometer::start() {
    stop();
    fs::path folder = info.node;
    // Channels are in m/s^2 once scaled; without a scale file, guess 1/1000 g per unit.
    double unitScale = numberIn(folder, {"in_accel_scale", "in_accel_x_scale"}, kStandardGravity / 1000);
    scale = unitScale / kStandardGravity;
    for (int i = 0; i < 3; ++i) {
        std::string axis = kAxes[i];
        offset[i] = numberIn(folder, {"in_accel_" + axis + "_offset", "in_accel_offset"}, 0);
        fds[i] = ::open((folder / ("in_accel_" + axis + "_raw")).c_str(), O_RDONLY | O_CLOEXEC);
        if (fds[i] < 0) {
            stop();
            return false;
        }
    }
    self = std::make_shared<IioAccelerometer*>(this);
    stopping = false;
    gone = false;
    reader = std::thread([this, rate = pollRate()] { run(rate); });
    return true;
}

void IioAccelerometer::stop() {
    stopping = true;
    if (reader.joinable()) reader.join();
    self.reset();
    for (int& fd : fds) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
    std::lock_guard<std::mutex> guard(lock);
    pending.clear();
}

long IioAccelerometer::readAxis(int index, long& value) {
    char text[32];
    ssize_t length = ::pread(fds[index], text, sizeof text - 1, 0);
    if (length <= 0) return length < 0 ? -1 : 0;
    text[length] = 0;
    char* end = nullptr;
    value = std::strtol(text, &end, 10);
    return end != text ? length : 0;
}

void IioAccelerometer::run(double rate) {
    auto interval = static_cast<long>(kNanosecond / rate);
    long pollsPerCheck = std::max(1L, static_cast<long>(rate)); // about once a second
    std::weak_ptr<IioAccelerometer*> weak = self;
    auto post = [this, weak] {
        loop.post([weak] {
            if (auto source = weak.lock()) (*source)->deliver();
        });
    };
    timespec next{};
    clock_gettime(CLOCK_MONOTONIC, &next);
    std::optional<std::array<long, 3>> previous;
    double lastPost = sampleClockNow();
    std::optional<Sample> last;
    bool moving = false;
    while (!stopping) {
        addNanoseconds(next, interval);
        clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &next, nullptr);
        long count = ++pollCount;
        std::array<long, 3> raw{};
        bool read = true, complete = true;
        for (int i = 0; i < 3 && read && complete; ++i) {
            long length = readAxis(i, raw[i]);
            read = length >= 0;
            complete = length > 0;
        }
        // A removed device fails to read (ENODEV; EBUSY when another program turned its buffer on); a test's
        // fake tree only disappears, so look for it now and then too.
        std::error_code ec;
        if (!read || (count % pollsPerCheck == 0 && !fs::exists(fs::path(info.node) / "in_accel_x_raw", ec))) {
            std::lock_guard<std::mutex> guard(lock);
            gone = true;
            post();
            return;
        }
        if (!complete) continue; // caught mid-write (a file rewritten by hand); the next poll reads it whole
        double t = sampleClockNow();
        std::lock_guard<std::mutex> guard(lock);
        // An unchanged reading is not a sample: the part has not converted again yet.
        if (!previous || *previous != raw) {
            Sample sample{(raw[0] + offset[0]) * scale, (raw[1] + offset[1]) * scale, (raw[2] + offset[2]) * scale, t};
            if (last)
                moving = moving || std::max({std::abs(sample.x - last->x), std::abs(sample.y - last->y),
                                             std::abs(sample.z - last->z)}) > stillChange;
            last = sample;
            pending.push_back(sample);
        }
        previous = raw;
        if (!pending.empty() && t - lastPost >= (moving ? batchSeconds : quietBatchSeconds)) {
            lastPost = t;
            moving = false;
            post();
        }
    }
}

void IioAccelerometer::deliver() {
    std::vector<Sample> batch;
    bool vanished;
    {
        std::lock_guard<std::mutex> guard(lock);
        batch.swap(pending);
        pending.swap(spare); // the storage the last batch used, so that a batch allocates nothing
        vanished = gone;
    }
    for (const Sample& s : batch) {
        if (!onSample) break;
        onSample(s.x, s.y, s.z, s.t);
    }
    batch.clear();
    spare.swap(batch); // only this thread touches spare
    if (vanished) {
        stop();
        if (onVanished) onVanished();
    }
}

} // namespace knokle
