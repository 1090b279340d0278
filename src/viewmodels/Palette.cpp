#include "viewmodels/Palette.h"

#include <algorithm>

namespace knokle {

Colour mix(const Colour& a, const Colour& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    auto lerp = [t](double x, double y) { return x + t * (y - x); };
    return {lerp(a.red, b.red), lerp(a.green, b.green), lerp(a.blue, b.blue), 1};
}

} // namespace knokle
