#include "viewmodels/StatusIconGeometry.h"

#include <algorithm>
#include <cctype>

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

namespace {

bool containsWord(std::string text, const std::string& word) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text.find(word) != std::string::npos;
}

} // namespace

PanelScheme panelScheme(const DesktopAppearance& look) {
    if (!look.gtkThemeVariable.empty()) // set by the user for this session: it wins
        return containsWord(look.gtkThemeVariable, "dark") ? PanelScheme::dark : PanelScheme::light;
    // "ubuntu:GNOME", "GNOME-Classic:GNOME": the shell's top bar; Flashback draws its own panel.
    if (containsWord(look.currentDesktop, "gnome") && !containsWord(look.currentDesktop, "flashback"))
        return PanelScheme::dark;
    if (look.colorScheme == "prefer-dark") return PanelScheme::dark;
    if (look.colorScheme == "prefer-light") return PanelScheme::light;
    if (containsWord(look.gtkTheme, "dark")) return PanelScheme::dark;
    if (look.windowLightness >= 0 && look.windowLightness < 0.5) return PanelScheme::dark;
    return PanelScheme::light;
}

Colour statusGlyphColour(PanelScheme scheme) {
    return scheme == PanelScheme::dark ? Palette::text : rgb255(28, 28, 28);
}

} // namespace knokle
