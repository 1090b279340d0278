#pragma once

#include <array>
#include <functional>
#include <optional>
#include <string>

namespace knokle {

// Turns accelerometer samples into impacts: short, sharp, mostly vertical taps on the chassis.
class SlapDetector {
public:
    static constexpr std::array<double, 2> thresholds{0.052, 0.12};
    static constexpr std::array<const char*, 2> levelNames{"Light", "Heavy"};

    SlapDetector();

    int level = 2;
    std::function<void(double force)> onImpact;
    std::function<void(double peak)> onAcceptedPeak;
    bool sequenceActive = false;

    void ingest(double x, double y, double z, double timestamp);
    void reset();
    double levelThreshold() const;

    // (the remaining fields of the design, the event log and private helpers are the implementer's)
};

} // namespace knokle
