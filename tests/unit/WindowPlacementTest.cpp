#include "viewmodels/WindowPlacement.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

// 1280 × 800 with a 25-point panel along the top.
constexpr ScreenRect kArea{0, 25, 1280, 775};

} // namespace

TEST(WindowPlacement, BesideTheOtherWindowAndInsideTheScreen) {
    // name, window, other window, screen area, where the window goes
    using Case = std::tuple<const char*, ScreenRect, ScreenRect, std::optional<ScreenRect>, std::optional<ScreenRect>>;
    // clang-format off
    const Case cases[] = {
        // Overlaps the other's right side by 40; its bottom 30 above the other's bottom.
        {"right side", {270, 150, 460, 300}, {300, 100, 400, 500}, kArea, ScreenRect{660, 270, 460, 300}},
        {"left side", {670, 100, 460, 300}, {700, 100, 400, 500}, kArea, ScreenRect{280, 270, 460, 300}},
        {"left side, clamped to the left edge", {215, 100, 460, 300}, {20, 100, 850, 500}, kArea,
         ScreenRect{0, 270, 460, 300}},
        {"centres 59.5 apart", {100, 100, 200, 100}, {159.5, 200, 200, 300}, kArea, ScreenRect{319.5, 370, 200, 100}},
        {"centres 60 apart", {100, 100, 200, 100}, {160, 200, 200, 300}, kArea, std::nullopt},
        {"kept below the panel", {300, 0, 400, 500}, {300, 40, 400, 300}, kArea, ScreenRect{660, 25, 400, 500}},
        {"kept above the bottom", {300, 0, 400, 300}, {300, 500, 400, 500}, kArea, ScreenRect{660, 500, 400, 300}},
        // Too wide: the right edge ends on the area's right edge. Too tall: the top on the area's top.
        {"wider than the screen", {0, 0, 1400, 100}, {0, 300, 1400, 200}, kArea, ScreenRect{-120, 370, 1400, 100}},
        {"taller than the screen", {300, 0, 400, 900}, {300, 0, 400, 300}, kArea, ScreenRect{660, 25, 400, 900}},
        {"no screen", {1000, 0, 460, 300}, {1000, 0, 460, 200}, std::nullopt, ScreenRect{1420, -130, 460, 300}},
    };
    // clang-format on
    for (const auto& [name, window, other, area, placed] : cases)
        EXPECT_EQ(placeBeside(window, other, area), placed) << name;
}
