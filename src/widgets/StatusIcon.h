#pragma once

#include <QColor>
#include <QIcon>
#include <QPainterPath>
#include <QPixmap>

namespace knokle {

// The tray glyph: a bold serif "t", drawn in one colour (the panel's text colour) on a transparent square, as
// a template image would be tinted.
namespace StatusIcon {

// The outline of the "t" of Liberation Serif Bold at 100 pixels, made once (from the outline taken from the font
// when the program was built).
const QPainterPath& outline();

// One square picture of the glyph, `side` device-independent pixels wide; slightly larger while flashing.
// Without an outline it is transparent.
QPixmap make(bool filled, int side, const QColor& colour, qreal devicePixelRatio = 1);

// The glyph at the sizes panels ask for. With a theme name the icon also names that themed icon (when the
// icon theme has it), so that a panel can draw it tinted to its own colours; the pictures stay as painted.
QIcon icon(bool filled, const QColor& colour, const QString& themeName = {});

// The application's icon for its windows: the installed theme icon, else the glyph drawn here on the windows'
// background.
QIcon applicationIcon();

} // namespace StatusIcon
} // namespace knokle
