#include "shell/StatusIconGeometry.h"

#include <gtest/gtest.h>

using namespace knokle;

// Whatever the outline's box, the glyph ends centred and fills 94 % (99 % when flashing) of the canvas in its
// larger dimension.
TEST(StatusIconGeometry, GlyphIsCentredAtItsTargetSize) {
    const GlyphBounds outlines[] = {
        {2, -70, 40, 72},  // a tall "t" above the baseline
        {-5, 3, 80, 20},   // wide
        {10, 10, 50, 50},  // square, away from the origin
        {0, 0, 0.5, 1e-3}, // tiny and very wide
    };
    for (double canvas : {18.0, 22.0, 44.0}) {
        for (bool filled : {false, true}) {
            for (const auto& box : outlines) {
                SCOPED_TRACE(testing::Message() << canvas << " " << filled << " " << box.width << "x" << box.height);
                auto placed = placeGlyph(box, canvas, filled);
                ASSERT_TRUE(placed);
                double left = box.x * placed->scale + placed->dx;
                double top = box.y * placed->scale + placed->dy;
                double width = box.width * placed->scale, height = box.height * placed->scale;
                EXPECT_NEAR(left, canvas - (left + width), 1e-9);
                EXPECT_NEAR(top, canvas - (top + height), 1e-9);
                EXPECT_NEAR(std::max(width, height), canvas * (filled ? 0.99 : 0.94), 1e-9);
            }
        }
    }
}

TEST(StatusIconGeometry, NothingToPlaceForAnEmptyOutline) {
    EXPECT_FALSE(placeGlyph({0, 0, 0, 10}, 18, false));
    EXPECT_FALSE(placeGlyph({0, 0, 10, 0}, 18, true));
    EXPECT_FALSE(placeGlyph({0, 0, 10, 10}, 0, false));
}
