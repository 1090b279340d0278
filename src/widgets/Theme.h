#pragma once

#include "viewmodels/ControlGeometry.h"
#include "viewmodels/Palette.h"

#include <QColor>
#include <QFont>
#include <QPixmap>
#include <QRectF>
#include <string>

class QWidget;
class QLabel;
class QAbstractScrollArea;

namespace knokle {

// The palette, fonts and symbols as Qt draws them. Fonts are named, never left to a default: a bare
// sans-serif hint can resolve to a serif face.
namespace Theme {

inline constexpr const char* kTextFamily = "DejaVu Sans";
inline constexpr const char* kSymbolFamily = "Material Design Icons";
inline constexpr int kSymbolSize = 18;

QColor color(const Colour& colour);
// Sizes are in the windows' points (device-independent pixels).
QFont font(int size, QFont::Weight weight = QFont::Normal);
// The named symbol in the tint, size × size points; a null pixmap for a name the symbol font cannot show.
QPixmap symbolImage(const std::string& name, const Colour& tint, int size = kSymbolSize);
QRectF rect(const Rect& r);

// A text label in the windows' look: font, colour and (when wrapping) any number of lines.
QLabel* label(const QString& text, int size, QFont::Weight weight, const Colour& colour, bool wrap = false);
void setLabelColour(QLabel* label, const Colour& colour);
// A scrolling area's vertical bar in the windows' dark look: a slim rounded handle on the window's colour.
void styleScrollBar(QAbstractScrollArea* area);

} // namespace Theme
} // namespace knokle
