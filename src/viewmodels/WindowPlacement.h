#pragma once

#include <optional>

namespace knokle {

// A rectangle in screen coordinates: x to the right, y downwards, (x, y) the top-left corner.
struct ScreenRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    double right() const { return x + width; }
    double bottom() const { return y + height; }
    double centreX() const { return x + width / 2; }
    bool operator==(const ScreenRect&) const = default;
};

// Windows whose horizontal centres are closer than this are taken to be on the same spot.
inline constexpr double kSameSpotDistance = 60;
// A window opened beside another overlaps it by this much...
inline constexpr double kBesideOverlap = 40;
// ...and its bottom edge sits this much higher than the other's.
inline constexpr double kBesideRaise = 30;

// Where to put a window (its frame) that is about to be shown while `other` (also a frame) is on screen, so
// that both stay reachable: overlapping the other's right side, or its left side where the right one would
// run off the screen, then kept inside the screen's available area (when one is known). Nothing when the
// two are far enough apart already: the window opens where it is.
std::optional<ScreenRect> placeBeside(const ScreenRect& window, const ScreenRect& other,
                                      const std::optional<ScreenRect>& available);

// Room kept for the window's title bar and frame below a screen's available height.
inline constexpr double kWindowFrameAllowance = 70;

// A window's content height: what it wants, within the screen's available height (when known) less the frame;
// the rest scrolls.
double cappedContentHeight(double wanted, std::optional<double> availableHeight);

} // namespace knokle
