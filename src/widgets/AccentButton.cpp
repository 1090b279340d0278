#include "widgets/AccentButton.h"

#include "widgets/Theme.h"

#include <QFontMetricsF>
#include <QPainter>

namespace knokle {

AccentButton::AccentButton(const QString& title, QWidget* parent) : QPushButton(title, parent) {
    setFont(Theme::font(13, QFont::DemiBold));
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize AccentButton::sizeHint() const {
    double title = QFontMetricsF(font()).horizontalAdvance(text());
    return {static_cast<int>(ControlGeometry::buttonWidth(title)), static_cast<int>(ControlGeometry::kButtonHeight)};
}

void AccentButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    // Pressed: a touch darker, so the click is seen.
    Colour fill = isDown() ? mix(Palette::neonFill, Palette::bg, 0.3) : Palette::neonFill;
    painter.setBrush(Theme::color(fill));
    painter.drawRoundedRect(QRectF(rect()), ControlGeometry::kButtonRadius, ControlGeometry::kButtonRadius);
    painter.setFont(font());
    painter.setPen(Theme::color(Palette::text));
    painter.drawText(QRectF(rect()), Qt::AlignCenter, text());
}

} // namespace knokle
