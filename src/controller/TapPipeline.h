#pragma once

#include "platform/HidManager.h"
#include "platform/MainLoop.h"
#include "platform/MouseButtonMonitor.h"
#include "sensing/ClickWatcher.h"
#include "sensing/SlapCounter.h"
#include "sensing/TapSource.h"

#include <functional>
#include <memory>

namespace knokle {

// The road from a tap source to gestures: the source's detector, the click veto and the counter, wired together.
// Everything here runs on the main loop; its outputs are the callbacks below.
class TapPipeline {
public:
    TapPipeline(MainLoop& loop, std::unique_ptr<TapSource> source, MouseButtonMonitor& buttons);
    // The built-in accelerometer as the source; sampleClock stamps samples, empty means the monotonic clock.
    TapPipeline(MainLoop& loop, HidManagerFactory hidManagers, std::function<double()> sampleClock,
                MouseButtonMonitor& buttons);
    ~TapPipeline();
    TapPipeline(const TapPipeline&) = delete;
    TapPipeline& operator=(const TapPipeline&) = delete;

    // An impact that passed the click veto and is being counted (force: its peak over the level's threshold).
    std::function<void(double force)> onImpact;
    // The peak in g of every tap the meter shows: accepted ones (vetoed or not) and near misses under the threshold.
    std::function<void(double peak)> onAcceptedPeak;
    std::function<void(int count)> onCountChanged;
    std::function<void(int count)> onGesture;
    std::function<void(bool on)> onCooldownChanged;
    std::function<void()> onUnavailable;

    // Starts the click veto, then the source.
    void start();
    // Puts another source in the old one's place, at the same level; it starts if the pipeline has started.
    void replaceSource(std::unique_ptr<TapSource> source);
    TapSource& source() { return *tapSource; }
    // Forgets everything half-detected or half-counted, and any cooldown.
    void reset();

    // Detector level and counter windows for a firmness level (clamped to 1...3), and the cooldown.
    void applyFirmness(std::int64_t level, double cooldownSeconds);
    void setCooldown(double seconds);
    // The count at which a gesture closes at once instead of waiting for its window.
    void setFireAtCount(int count);
    int fireAtCount() const;

    int level() const;
    double levelThreshold() const;
    // Whether taps are being counted into a gesture right now (a gesture can still close).
    bool gestureInProgress() const;

private:
    void wire();
    void wireSource();
    void handleImpact(double force);

    MainLoop& loop;
    std::unique_ptr<TapSource> tapSource;
    ClickWatcher clicks;
    SlapCounter counter;
    bool started = false;
    std::shared_ptr<TapPipeline*> self;
};

} // namespace knokle
