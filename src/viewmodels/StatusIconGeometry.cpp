#include "viewmodels/StatusIconGeometry.h"

#include <algorithm>

namespace knokle {

double glyphTargetFraction(bool filled) {
    return filled ? 0.99 : 0.94;
}

std::optional<GlyphPlacement> placeGlyph(const GlyphBounds& bounds, double canvas, bool filled) {
    if (!(bounds.width > 0) || !(bounds.height > 0) || !(canvas > 0)) return std::nullopt;
    double target = canvas * glyphTargetFraction(filled);
    double scale = std::min(target / bounds.height, target / bounds.width);
    return GlyphPlacement{scale, (canvas - bounds.width * scale) / 2 - bounds.x * scale,
                          (canvas - bounds.height * scale) / 2 - bounds.y * scale};
}

} // namespace knokle
