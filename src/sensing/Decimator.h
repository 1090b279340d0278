#pragma once

#include <functional>
#include <optional>

namespace knokle {

// Turns a fast accelerometer stream (a 1 kHz recording) into what a sensor sampling at a lower rate would
// deliver: each output is a triangular-weighted average of the input over two output periods (two cascaded
// averages, the filter a sensor's own averaging amounts to), so nothing above the new rate folds back into it,
// and an impulse keeps its area whatever its phase. Outputs are stamped at the end of their window, when a
// sensor would have them.
class Decimator {
public:
    explicit Decimator(double outputRate);

    std::function<void(double x, double y, double z, double timestamp)> onSample;

    void push(double x, double y, double z, double timestamp);
    double outputRate() const { return rate; }

private:
    struct Sum {
        double x = 0, y = 0, z = 0, weight = 0;
        void add(double w, double sx, double sy, double sz) {
            x += w * sx;
            y += w * sy;
            z += w * sz;
            weight += w;
        }
    };
    void emit(long long index, const Sum& sum);

    double rate;
    std::optional<double> origin;
    long long first = 0; // index of the output `current` collects for
    Sum current, next;
};

} // namespace knokle
