#include "widgets/StatusIcon.h"

#include "viewmodels/StatusIconGeometry.h"
#include "widgets/StatusGlyph.h"

#include <QPainter>

namespace knokle::StatusIcon {

namespace {

QPainterPath makeOutline() {
    QPainterPath path;
    const auto& elements = statusGlyph();
    for (std::size_t i = 0; i < elements.size(); ++i) {
        const GlyphElement& e = elements[i];
        if (e.type == QPainterPath::MoveToElement) {
            path.moveTo(e.x, e.y);
        } else if (e.type == QPainterPath::LineToElement) {
            path.lineTo(e.x, e.y);
        } else if (e.type == QPainterPath::CurveToElement && i + 2 < elements.size()) {
            path.cubicTo(e.x, e.y, elements[i + 1].x, elements[i + 1].y, elements[i + 2].x, elements[i + 2].y);
            i += 2;
        }
    }
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
