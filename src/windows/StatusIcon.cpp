#include "windows/StatusIcon.h"

#include "shell/StatusIconGeometry.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QPainter>

namespace knokle::StatusIcon {

namespace {

// Named explicitly: a family left to fontconfig's fallback can resolve to any face.
const char* const kFamily = "Liberation Serif";

QPainterPath makeOutline() {
    QFont font(kFamily);
    font.setBold(true);
    font.setPixelSize(100);
    QPainterPath path;
    if (QFontInfo(font).family() != kFamily || !QFontMetricsF(font).inFont(QChar('t'))) return path;
    path.addText(0, 0, font, "t");
    return path;
}

} // namespace

const QPainterPath& outline() {
    static const QPainterPath path = makeOutline();
    return path;
}

QPixmap make(bool filled, int side, const QColor& colour, qreal devicePixelRatio) {
    QPixmap pixmap(QSize(side, side) * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    const QPainterPath& path = outline();
    QRectF box = path.boundingRect();
    auto placed = placeGlyph({box.x(), box.y(), box.width(), box.height()}, side, filled);
    if (!placed) return pixmap;
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(placed->dx, placed->dy);
    painter.scale(placed->scale, placed->scale);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    QPainterPath winding = path;
    winding.setFillRule(Qt::WindingFill);
    painter.drawPath(winding);
    return pixmap;
}

QIcon icon(bool filled, const QColor& colour) {
    QIcon icon;
    for (int side : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(make(filled, side, colour));
    return icon;
}

} // namespace knokle::StatusIcon
