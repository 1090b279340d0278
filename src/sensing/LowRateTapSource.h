#pragma once

#include "platform/MainLoop.h"
#include "platform/PolledAccelerometer.h"
#include "sensing/LowRateTapDetector.h"

#include <functional>
#include <memory>
#include <optional>

namespace knokle {

// Taps from an accelerometer the system exposes at a low rate: finds the best one, reads it through the
// low-rate detector, and looks again a while after it vanishes.
class LowRateTapSource {
public:
    static constexpr double rediscoverySeconds = 5;

    LowRateTapSource(MainLoop& loop, AccelerometerPort& port);
    ~LowRateTapSource();
    LowRateTapSource(const LowRateTapSource&) = delete;
    LowRateTapSource& operator=(const LowRateTapSource&) = delete;

    LowRateTapDetector detector;
    // Nothing usable was found (or what was found vanished); discovery runs again later.
    std::function<void()> onUnavailable;
    // The device read, or what was found and why it is not read, changed.
    std::function<void()> onStatusChanged;

    void start();
    void stop();

    // The device being read (or the best one found when none could be read).
    const std::optional<AccelerometerInfo>& device() const { return found; }
    bool reading() const { return accelerometer != nullptr; }

private:
    void discover();
    void vanished();

    MainLoop& loop;
    AccelerometerPort& port;
    std::optional<AccelerometerInfo> found;
    std::unique_ptr<PolledAccelerometer> accelerometer;
    TimerHandle retry;
    bool saidUnavailable = false;
    std::shared_ptr<LowRateTapSource*> self;
};

} // namespace knokle
