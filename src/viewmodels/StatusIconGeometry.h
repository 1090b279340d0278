#pragma once

#include "platform/DesktopAppearance.h"
#include "viewmodels/Palette.h"

#include <optional>
#include <string>

namespace knokle {

// A glyph outline's bounding box, in the outline's own units (y grows downwards, as in a glyph path).
struct GlyphBounds {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
};

// Maps the outline into a square canvas: point' = point * scale + (dx, dy).
struct GlyphPlacement {
    double scale = 0;
    double dx = 0;
    double dy = 0;
    bool operator==(const GlyphPlacement&) const = default;
};

// The glyph's share of the canvas in its larger dimension: 94 %, or 99 % while the icon flashes.
double glyphTargetFraction(bool filled);

// Centres the glyph in a canvas of the given side, scaled to its target size. Nothing for an empty outline.
std::optional<GlyphPlacement> placeGlyph(const GlyphBounds& bounds, double canvas, bool filled);

enum class PanelScheme { light, dark };

// The panel's scheme: GNOME's top bar is dark whatever the colour scheme; elsewhere the panel follows the
// desktop's scheme or theme.
PanelScheme panelScheme(const DesktopAppearance& look);

// The glyph's colour where the panel draws the picture as given (no symbolic icon): light on a dark panel.
Colour statusGlyphColour(PanelScheme scheme);

// The themed icons a panel can tint to its own text colour, installed beside the application icon.
inline constexpr const char* kSymbolicStatusIcon = "org.knokle.Knokle-symbolic";
inline constexpr const char* kSymbolicFlashStatusIcon = "org.knokle.Knokle-flash-symbolic";

} // namespace knokle
