#pragma once

#include "platform/MainLoop.h"
#include "platform/PolledAccelerometer.h"

#include <array>
#include <filesystem>
#include <optional>

namespace knokle {

// Polls an IIO accelerometer's channel files (readable by any user) on a timer at the part's rate, at most
// 400 Hz, through descriptors kept open: one pread per axis and sample. Only a changed reading counts as a
// sample, so a part polled faster than it converts shows its true rate. Never touches the buffered device.
class IioAccelerometer final : public PolledAccelerometer {
public:
    static constexpr double maxPollRate = 400;
    static constexpr double unknownRate = 100;

    IioAccelerometer(MainLoop& loop, AccelerometerInfo info);
    ~IioAccelerometer() override;

    bool start() override;
    void stop() override;

    // m/s^2 per raw unit in g per raw unit; exposed for tests.
    double gPerUnit() const { return scale; }
    // How many polls read the channels (a benchmark counts them).
    long polls() const { return pollCount; }

private:
    void poll();
    bool readAxis(int index, long& value);
    void vanish();

    MainLoop& loop;
    AccelerometerInfo info;
    std::array<int, 3> fds{-1, -1, -1};
    std::array<double, 3> offset{};
    double scale = 0;
    std::optional<std::array<long, 3>> previous;
    TimerHandle timer, presence;
    long pollCount = 0;
};

} // namespace knokle
