#pragma once

namespace knokle {

// A rectangle in a view's own coordinates, y growing downwards.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    bool operator==(const Rect&) const = default;
    double right() const { return x + width; }
    double bottom() const { return y + height; }
    Rect inset(double dx, double dy) const { return {x + dx, y + dy, width - 2 * dx, height - 2 * dy}; }
};

// Sizes, radii and times of the themed controls, and where their parts go.
namespace ControlGeometry {

inline constexpr double kCardRadius = 12;
inline constexpr double kCardShadowBlur = 6;
inline constexpr double kCardShadowOpacity = 0.1;
inline constexpr double kCardShadowOffsetY = 1;

inline constexpr double kButtonHeight = 30;
inline constexpr double kButtonMinWidth = 84;
inline constexpr double kButtonRadius = 8;
inline constexpr double kButtonTitlePadding = 16; // each side of the title

inline constexpr double kFieldHeight = 30;
inline constexpr double kFieldRadius = 7;
inline constexpr double kFieldPadX = 9;
inline constexpr double kFieldPadY = 6;

inline constexpr double kSwitchWidth = 42;
inline constexpr double kSwitchHeight = 24;
inline constexpr double kSwitchSeconds = 0.18;

inline constexpr double kSegmentedHeight = 34;
inline constexpr double kSegmentedRadius = 9;
inline constexpr double kPillRadius = 7;
inline constexpr double kPillPad = 3;
inline constexpr double kPillSeconds = 0.22;

inline constexpr double kRecorderHeight = 30;
inline constexpr double kRecorderMinWidth = 130;
inline constexpr double kRecorderRadius = 7;

// A button's width for a title of this width: the title with its padding, at least the minimum.
double buttonWidth(double titleWidth);

// Where text and caret of a themed field sit: inside its border, clear of the rounded corners.
Rect fieldTextRect(const Rect& bounds);

// The on/off switch: its track and its knob, for the state shown.
Rect switchTrack(const Rect& bounds);
Rect switchKnob(const Rect& bounds, bool on);

// The segmented control with the sliding highlight.
int clampedSelection(int selected, int count);
double segmentWidth(double width, int count);
Rect pillFrame(double width, double height, int count, int index);
Rect segmentLabelFrame(double width, double height, int count, int index, double labelHeight);
// The segment under a click at x, never outside the control's segments.
int segmentAt(double x, double width, int count);

// The shortcut recorder: its outline and where its text starts.
Rect recorderOutline(const Rect& bounds);
Rect recorderTextFrame(const Rect& bounds, double textWidth, double textHeight);

} // namespace ControlGeometry
} // namespace knokle
