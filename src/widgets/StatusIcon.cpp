#include "widgets/StatusIcon.h"

#include "viewmodels/StatusIconGeometry.h"
#include "widgets/StatusGlyph.h"
#include "widgets/Theme.h"

#include <QFileInfo>
#include <QIconEngine>
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

constexpr int kPanelSides[] = {16, 22, 24, 32, 48, 64};

// Our painted pictures under a themed icon's name: a StatusNotifierItem carries both, and the panel picks.
class NamedGlyphEngine final : public QIconEngine {
public:
    NamedGlyphEngine(bool filled, QColor colour, QString name)
        : filled(filled), colour(std::move(colour)), name(std::move(name)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode, QIcon::State) override {
        int side = std::min(rect.width(), rect.height());
        painter->drawPixmap(rect.topLeft(), make(filled, side, colour, painter->device()->devicePixelRatioF()));
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode, QIcon::State) override {
        return make(filled, std::min(size.width(), size.height()), colour);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (int side : kPanelSides)
            sizes.append(QSize(side, side));
        return sizes;
    }
    QString iconName() override { return name; }
    QString key() const override { return QStringLiteral("knokle-status-glyph"); }
    QIconEngine* clone() const override { return new NamedGlyphEngine(filled, colour, name); }

private:
    bool filled;
    QColor colour;
    QString name;
};

bool hasStatusIcon(const QString& name) {
    for (const QString& folder : QIcon::themeSearchPaths())
        if (QFileInfo::exists(folder + "/hicolor/scalable/status/" + name + ".svg")) return true;
    return false;
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

QIcon icon(bool filled, const QColor& colour, const QString& themeName) {
    // A name the theme lacks would leave some panels with a blank or "missing" icon. Looked up by file: Qt finds
    // SVG theme icons only with its SVG plugin, which the program does not need.
    if (!themeName.isEmpty() && hasStatusIcon(themeName)) return QIcon(new NamedGlyphEngine(filled, colour, themeName));
    QIcon icon;
    for (int side : kPanelSides)
        icon.addPixmap(make(filled, side, colour));
    return icon;
}

QIcon applicationIcon() {
    QIcon drawn;
    for (int side : {16, 32, 48, 64, 128}) {
        QPixmap square(side, side);
        square.fill(Qt::transparent);
        QPainter painter(&square);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::color(Palette::bg));
        painter.drawRoundedRect(QRectF(0, 0, side, side), side * 0.22, side * 0.22);
        int inner = side * 64 / 100;
        painter.drawPixmap((side - inner) / 2, (side - inner) / 2, make(false, inner, Theme::color(Palette::text)));
        painter.end();
        drawn.addPixmap(square);
    }
    return QIcon::fromTheme("org.knokle.Knokle", drawn);
}

} // namespace knokle::StatusIcon
