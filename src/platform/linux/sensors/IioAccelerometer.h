#pragma once

#include "platform/MainLoop.h"
#include "platform/PolledAccelerometer.h"

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace knokle {

// Polls an IIO accelerometer's channel files (readable by any user) at the part's rate, at most 400 Hz, through
// descriptors kept open: one pread per axis and sample, on a thread that sleeps to absolute deadlines (a main-loop
// timer woke the whole event loop each time, which cost three times the 0.5 % of a core allowed at 200 Hz, and
// rounds to whole milliseconds). Samples reach the main loop in small batches: within `batchSeconds` once a
// reading moves, only every `quietBatchSeconds` while the part lies still, since waking the main loop cost as much
// as the reads themselves. Only a changed reading counts as a sample, so a part polled faster than it converts
// shows its true rate. Never touches the buffered device.
class IioAccelerometer final : public PolledAccelerometer {
public:
    static constexpr double maxPollRate = 400;
    static constexpr double unknownRate = 100;
    static constexpr double batchSeconds = 0.02;
    static constexpr double quietBatchSeconds = 0.1;
    static constexpr double stillChange = 0.01; // g on any axis from one sample to the next: noise, not a knock

    IioAccelerometer(MainLoop& loop, AccelerometerInfo info);
    ~IioAccelerometer() override;

    bool start() override;
    void stop() override;

    double pollRate() const;
    // How many polls read the channels (a benchmark counts them).
    long polls() const { return pollCount.load(); }

private:
    struct Sample {
        double x, y, z, t;
    };
    void run(double rate);
    // The bytes read (0: nothing to read yet), or -1 when the file cannot be read.
    long readAxis(int index, long& value);
    void deliver();

    MainLoop& loop;
    AccelerometerInfo info;
    std::array<int, 3> fds{-1, -1, -1};
    std::array<double, 3> offset{};
    double scale = 0;
    std::thread reader;
    std::atomic<bool> stopping{false};
    std::atomic<long> pollCount{0};
    std::mutex lock;
    std::vector<Sample> pending; // guarded by lock
    std::vector<Sample> spare;   // main loop only: the delivered batch's storage, for the next one
    bool gone = false;           // guarded by lock
    std::shared_ptr<IioAccelerometer*> self;
};

} // namespace knokle
