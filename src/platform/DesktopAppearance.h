#pragma once

#include <string>

namespace knokle {

// What the desktop tells about its look, for choosing the tray glyph's colour.
struct DesktopAppearance {
    std::string currentDesktop{};   // XDG_CURRENT_DESKTOP
    std::string gtkThemeVariable{}; // GTK_THEME, e.g. "Adwaita:dark"
    std::string colorScheme{};      // GNOME's interface color-scheme: "default", "prefer-dark", "prefer-light"
    std::string gtkTheme{};         // GNOME's interface gtk-theme
    double windowLightness = -1;    // the toolkit palette's window colour, 0...1; below 0 when unknown
};

} // namespace knokle
