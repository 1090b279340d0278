#include "viewmodels/ControlGeometry.h"

#include <algorithm>
#include <cmath>

namespace knokle::ControlGeometry {

double buttonWidth(double titleWidth) {
    return std::max(kButtonMinWidth, std::ceil(titleWidth + 2 * kButtonTitlePadding));
}

Rect fieldTextRect(const Rect& bounds) {
    return bounds.inset(kFieldPadX, kFieldPadY);
}

Rect switchTrack(const Rect& bounds) {
    return bounds.inset(1, 2);
}

Rect switchKnob(const Rect& bounds, bool on) {
    Rect track = switchTrack(bounds);
    double d = track.height - 4;
    double left = on ? track.right() - d - 2 : track.x + 2;
    return {left, track.y + 2, d, d};
}

int clampedSelection(int selected, int count) {
    if (count <= 0) return 0;
    return std::clamp(selected, 0, count - 1);
}

double segmentWidth(double width, int count) {
    return count > 0 ? width / count : width;
}

Rect pillFrame(double width, double height, int count, int index) {
    double w = segmentWidth(width, count);
    return {w * index + kPillPad, kPillPad, w - 2 * kPillPad, height - 2 * kPillPad};
}

Rect segmentLabelFrame(double width, double height, int count, int index, double labelHeight) {
    double w = segmentWidth(width, count);
    return {w * index, (height - labelHeight) / 2, w, labelHeight};
}

int segmentAt(double x, double width, int count) {
    double w = segmentWidth(width, count);
    if (w <= 0) return 0;
    return clampedSelection(static_cast<int>(std::trunc(x / w)), count);
}

Rect recorderOutline(const Rect& bounds) {
    return bounds.inset(1, 1);
}

Rect recorderTextFrame(const Rect& bounds, double textWidth, double textHeight) {
    // One point below the geometric centre.
    return {bounds.x + (bounds.width - textWidth) / 2, bounds.y + (bounds.height - textHeight) / 2 + 1, textWidth,
            textHeight};
}

} // namespace knokle::ControlGeometry
