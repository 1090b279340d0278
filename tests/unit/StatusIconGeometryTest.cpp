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

// Which panel the desktop implies, and a glyph colour that stands out on it (at least 4.5:1).
TEST(StatusIconGeometry, PanelSchemeFromTheDesktopAndAGlyphThatStandsOutOnIt) {
    const struct {
        DesktopAppearance look;
        PanelScheme scheme;
    } cases[] = {
        {{}, PanelScheme::light},
        {{.currentDesktop = "ubuntu:GNOME"}, PanelScheme::dark}, // the shell's top bar is always dark
        {{.currentDesktop = "GNOME-Flashback:GNOME"}, PanelScheme::light},
        {{.currentDesktop = "XFCE", .colorScheme = "prefer-dark"}, PanelScheme::dark},
        {{.currentDesktop = "XFCE", .colorScheme = "prefer-light", .gtkTheme = "Adwaita-dark"}, PanelScheme::light},
        {{.colorScheme = "default", .gtkTheme = "Arc-Dark"}, PanelScheme::dark},
        {{.gtkThemeVariable = "Adwaita:dark", .colorScheme = "prefer-light"}, PanelScheme::dark},
        {{.currentDesktop = "GNOME", .gtkThemeVariable = "Adwaita"}, PanelScheme::light},
        {{.currentDesktop = "KDE", .windowLightness = 0.16}, PanelScheme::dark},
        {{.currentDesktop = "KDE", .windowLightness = 0.94}, PanelScheme::light},
    };
    for (const auto& c : cases)
        EXPECT_EQ(panelScheme(c.look), c.scheme) << c.look.currentDesktop << " " << c.look.colorScheme << " "
                                                 << c.look.gtkTheme << " " << c.look.windowLightness;
    // GNOME's top bar, Xfce's and Breeze Dark panels; Greybird's and Breeze's light ones.
    for (Colour panel : {rgb255(0, 0, 0), rgb255(43, 43, 43), rgb255(49, 54, 59)})
        EXPECT_GE(contrastRatio(statusGlyphColour(PanelScheme::dark), panel), 4.5);
    for (Colour panel : {rgb255(239, 240, 241), rgb255(206, 206, 206), rgb255(255, 255, 255)})
        EXPECT_GE(contrastRatio(statusGlyphColour(PanelScheme::light), panel), 4.5);
}
