#pragma once

#include <functional>
#include <memory>
#include <string>

namespace knokle {

// One tap as a source's detector saw it. Strengths of every source share one scale, the accelerometer's peak in g,
// so firmness levels, the Test Taps meter and the [impact] line mean the same whichever source spoke.
struct Impact {
    double time = 0;     // s, monotonic: when the tap was recognised
    double strength = 0; // g, or its equivalent for sources that do not measure g
    double force = 0;    // strength over the level's threshold
};

// Where taps come from: a sensor and the detector made for it. The click veto, the counter and everything after
// them do not know which source spoke. Everything runs on the main loop.
class TapSource {
public:
    virtual ~TapSource() = default;

    // An impact that passed the source's own detector.
    std::function<void(const Impact&)> onImpact;
    // The strength of every tap the meter shows: accepted ones and near misses under the threshold.
    std::function<void(double strength)> onAcceptedPeak;
    // The source cannot deliver: no device, or the device went away.
    std::function<void()> onUnavailable;

    // How the menu and the Test Taps window name the source ("accelerometer", "microphone").
    virtual std::string name() const = 0;
    virtual void start() = 0;
    // Stops listening; start() may follow.
    virtual void stop() = 0;
    // Forgets anything half-detected.
    virtual void reset() = 0;
    // Firmness level 1 or 2, as the detector uses it.
    virtual void setLevel(int level) = 0;
    virtual int level() const = 0;
    virtual double levelThreshold() const = 0;
    // While a gesture is open, follow-up taps may be measured against the previous one.
    virtual void setSequenceActive(bool active) = 0;
    // A key or button was pressed at this monotonic time (s); sources that hear keystrokes use it.
    virtual void noteInputActivity(double) {}
};

using TapSourceFactory = std::function<std::unique_ptr<TapSource>()>;

} // namespace knokle
