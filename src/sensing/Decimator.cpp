#include "sensing/Decimator.h"

#include <cmath>

namespace knokle {

Decimator::Decimator(double outputRate) : rate(outputRate) {}

void Decimator::push(double x, double y, double z, double t) {
    if (!std::isfinite(x + y + z + t)) return;
    if (!origin) origin = t;
    // Output k is centred at origin + k periods and weighs the input falling within a period either side.
    double u = (t - *origin) * rate;
    if (u < first) return; // out of order: its window is already out
    auto k = static_cast<long long>(std::floor(u));
    double fraction = u - static_cast<double>(k);
    while (first < k) {
        emit(first, current);
        current = next;
        next = {};
        ++first;
    }
    current.add(1 - fraction, x, y, z);
    next.add(fraction, x, y, z);
}

void Decimator::emit(long long index, const Sum& sum) {
    // A gap in the input leaves outputs with nothing to average: a sensor would have missed them too.
    if (sum.weight <= 0 || !onSample) return;
    onSample(sum.x / sum.weight, sum.y / sum.weight, sum.z / sum.weight,
             *origin + static_cast<double>(index + 1) / rate);
}

} // namespace knokle
