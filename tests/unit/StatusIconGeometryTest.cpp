#include "viewmodels/StatusIconGeometry.h"

#include <gtest/gtest.h>

using namespace knokle;

// Centred, and 94 % (99 % when flashing) of the canvas in the outline's larger dimension.
TEST(StatusIconGeometry, GlyphIsCentredAtItsTargetSize) {
    const GlyphBounds outlines[] = {{2, -70, 40, 72}, {-5, 3, 80, 20}}; // tall above the baseline, wide
    for (bool filled : {false, true}) {
        for (const auto& box : outlines) {
            auto placed = placeGlyph(box, 22, filled);
            ASSERT_TRUE(placed);
            double left = box.x * placed->scale + placed->dx;
            double top = box.y * placed->scale + placed->dy;
            double width = box.width * placed->scale, height = box.height * placed->scale;
            EXPECT_NEAR(left, 22 - (left + width), 1e-9) << box.width;
            EXPECT_NEAR(top, 22 - (top + height), 1e-9) << box.width;
            EXPECT_NEAR(std::max(width, height), 22 * (filled ? 0.99 : 0.94), 1e-9) << box.width;
        }
    }
    EXPECT_FALSE(placeGlyph({0, 0, 0, 10}, 18, false));
}
