#pragma once

#include <array>

namespace knokle {

// An sRGB colour with components from 0 to 1.
struct Colour {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    bool operator==(const Colour&) const = default;
    Colour withAlpha(double a) const { return {red, green, blue, a}; }
};

constexpr Colour rgb255(int r, int g, int b) {
    return {r / 255.0, g / 255.0, b / 255.0, 1};
}

// The windows' one dark palette.
namespace Palette {
inline constexpr Colour bg = rgb255(18, 26, 46);
inline constexpr Colour card = rgb255(27, 36, 64);
inline constexpr Colour border = rgb255(44, 56, 89);
inline constexpr Colour well = rgb255(35, 46, 78);
inline constexpr Colour field = rgb255(39, 52, 92);
inline constexpr Colour text = rgb255(239, 235, 227);
inline constexpr Colour textDim = rgb255(151, 162, 192);
inline constexpr Colour textFaint = rgb255(140, 151, 184); // still 4.5:1 on cards and wells
inline constexpr Colour neon = rgb255(111, 146, 200);
inline constexpr Colour neonFill = rgb255(30, 62, 122);
inline constexpr Colour warm = rgb255(239, 193, 94);
inline constexpr Colour good = rgb255(134, 216, 155);
inline constexpr Colour bad = rgb255(224, 133, 133);
inline constexpr Colour white = rgb255(255, 255, 255);

// The symbols of the two firmness levels.
inline constexpr std::array<const char*, 2> levelIcons{"wind", "mountain.2.fill"};
} // namespace Palette

// a + t (b - a) per component, t clamped to 0...1; the result is opaque whatever the inputs' alphas.
Colour mix(const Colour& a, const Colour& b, double t);

// Relative luminance of an opaque sRGB colour, 0 (black) to 1 (white), as WCAG defines it.
double relativeLuminance(const Colour& c);
// WCAG contrast ratio of two opaque colours, 1 to 21; text needs at least 4.5.
double contrastRatio(const Colour& a, const Colour& b);

} // namespace knokle
