#pragma once

#include <vector>

namespace knokle {

// One element of a painter path: its kind (0 move, 1 line, 2 curve, 3 curve data, as QPainterPath numbers
// them) and its point.
struct GlyphElement {
    int type;
    double x, y;
};

// The status glyph's outline, made from the font when the program is built (tools/make-status-glyph.cpp).
const std::vector<GlyphElement>& statusGlyph();

} // namespace knokle
