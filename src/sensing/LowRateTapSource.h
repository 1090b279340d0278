#pragma once

#include "platform/MainLoop.h"
#include "platform/PolledAccelerometer.h"
#include "sensing/LowRateTapDetector.h"
#include "sensing/TapSource.h"

#include <functional>
#include <memory>
#include <optional>

namespace knokle {

// Taps from an accelerometer the system exposes at a low rate: finds the best one, reads it through the
// low-rate detector, and looks again a while after it vanishes or when none was there.
class LowRateTapSource final : public TapSource {
public:
    static constexpr double rediscoverySeconds = 5;
    static constexpr double rateMeasuringSeconds = 2;

    LowRateTapSource(MainLoop& loop, AccelerometerPort& port);
    ~LowRateTapSource() override;
    LowRateTapSource(const LowRateTapSource&) = delete;
    LowRateTapSource& operator=(const LowRateTapSource&) = delete;

    // Nothing could be read, or the device read has delivered long enough for its rate to be known.
    std::function<void()> onStatusChanged;

    std::string name() const override { return "accelerometer"; }
    void start() override;
    void stop() override;
    void reset() override { detector.reset(); }
    void setLevel(int level) override { detector.level = level; }
    int level() const override { return detector.level; }
    double levelThreshold() const override { return detector.levelThreshold(); }
    void setSequenceActive(bool active) override { detector.sequenceActive = active; }

    // The device being read (or the best one found when none could be read).
    const std::optional<AccelerometerInfo>& device() const { return found; }
    bool reading() const { return accelerometer != nullptr; }
    const LowRateTapDetector& lowRateDetector() const { return detector; }
    // Expires with the source (the pipeline may replace it by another).
    std::weak_ptr<LowRateTapSource*> handle() const { return self; }

private:
    void discover();
    void vanished();

    MainLoop& loop;
    AccelerometerPort& port;
    LowRateTapDetector detector;
    double sampleTime = 0;
    std::optional<AccelerometerInfo> found;
    std::unique_ptr<PolledAccelerometer> accelerometer;
    TimerHandle retry;
    bool saidUnavailable = false;
    std::shared_ptr<LowRateTapSource*> self;
};

} // namespace knokle
