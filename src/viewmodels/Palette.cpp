#include "viewmodels/Palette.h"

#include <algorithm>
#include <cmath>

namespace knokle {

Colour mix(const Colour& a, const Colour& b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    auto lerp = [t](double x, double y) { return x + t * (y - x); };
    return {lerp(a.red, b.red), lerp(a.green, b.green), lerp(a.blue, b.blue), 1};
}

double relativeLuminance(const Colour& c) {
    auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.red) + 0.7152 * linear(c.green) + 0.0722 * linear(c.blue);
}

double contrastRatio(const Colour& a, const Colour& b) {
    double la = relativeLuminance(a), lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace knokle
