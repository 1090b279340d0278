#include "viewmodels/WindowPlacement.h"

#include <algorithm>
#include <cmath>

namespace knokle {

std::optional<ScreenRect> placeBeside(const ScreenRect& window, const ScreenRect& other,
                                      const std::optional<ScreenRect>& available) {
    if (!(std::abs(window.centreX() - other.centreX()) < kSameSpotDistance)) return std::nullopt;
    ScreenRect placed = window;
    placed.x = other.right() - kBesideOverlap;
    placed.y = other.bottom() - kBesideRaise - window.height;
    if (!available) return placed;
    if (placed.right() > available->right()) placed.x = other.x - window.width + kBesideOverlap;
    // The right and top bounds are applied last: a window wider than the area ends with its right edge on the
    // area's right edge, and one taller than it with its title bar at the area's top.
    placed.x = std::min(std::max(placed.x, available->x), available->right() - window.width);
    placed.y = std::max(std::min(placed.y, available->bottom() - window.height), available->y);
    return placed;
}

double cappedContentHeight(double wanted, std::optional<double> availableHeight) {
    if (!availableHeight) return wanted;
    return std::max(0.0, std::min(wanted, *availableHeight - kWindowFrameAllowance));
}

} // namespace knokle
