// Writes the application icon into an icon theme folder: the status glyph's bold serif "t" in the windows'
// text colour on a rounded square of their background colour, as a scalable SVG and as PNGs.
//
//   knokle_make_app_icon build/share/icons/hicolor

#include "viewmodels/StatusIconGeometry.h"
#include "widgets/StatusIcon.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTextStream>
#include <cstdio>

using namespace knokle;

namespace {

const QColor kBackground(0x12, 0x1a, 0x2e); // the windows' background
const QColor kBorder(0x2c, 0x38, 0x59);     // their hairline borders
const QColor kGlyph(0xef, 0xeb, 0xe3);      // their text
const char* const kName = "org.knokle.Knokle";

// The square and the glyph in a 128-unit canvas: the glyph fills 64 % of it.
constexpr double kCanvas = 128, kInset = 4, kRadius = 28, kGlyphBox = 64 * 128 / 100.0;

QTransform glyphTransform() {
    QRectF box = StatusIcon::outline().boundingRect();
    auto placed = placeGlyph({box.x(), box.y(), box.width(), box.height()}, kGlyphBox, false);
    double offset = (kCanvas - kGlyphBox) / 2;
    QTransform t;
    if (placed) t = QTransform(placed->scale, 0, 0, placed->scale, placed->dx + offset, placed->dy + offset);
    return t;
}

QString svgPath(const QPainterPath& path) {
    QString d;
    auto number = [](double v) { return QString::number(v, 'f', 2); };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element& e = path.elementAt(i);
        if (e.isMoveTo()) {
            d += "M" + number(e.x) + " " + number(e.y);
        } else if (e.isLineTo()) {
            d += "L" + number(e.x) + " " + number(e.y);
        } else if (e.isCurveTo()) {
            const auto& c2 = path.elementAt(i + 1);
            const auto& end = path.elementAt(i + 2);
            d += "C" + number(e.x) + " " + number(e.y) + " " + number(c2.x) + " " + number(c2.y) + " " + number(end.x) +
                 " " + number(end.y);
            i += 2;
        }
    }
    return d + "Z";
}

bool writeSvg(const QString& file) {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QTextStream text(&out);
    text << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"128\" height=\"128\" viewBox=\"0 0 128 128\">\n"
         << "  <rect x=\"" << kInset << "\" y=\"" << kInset << "\" width=\"" << kCanvas - 2 * kInset << "\" height=\""
         << kCanvas - 2 * kInset << "\" rx=\"" << kRadius << "\" fill=\"" << kBackground.name() << "\" stroke=\""
         << kBorder.name() << "\" stroke-width=\"2\"/>\n"
         << "  <path fill=\"" << kGlyph.name() << "\" d=\"" << svgPath(glyphTransform().map(StatusIcon::outline()))
         << "\"/>\n</svg>\n";
    return text.status() == QTextStream::Ok;
}

// The tray's symbolic icons: the glyph alone on a 16-unit canvas, in the grey that panels recolour.
bool writeSymbolic(const QString& file, bool filled) {
    QFile out(file);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    QRectF box = StatusIcon::outline().boundingRect();
    auto placed = placeGlyph({box.x(), box.y(), box.width(), box.height()}, 16, filled);
    if (!placed) return false;
    QTransform t(placed->scale, 0, 0, placed->scale, placed->dx, placed->dy);
    QTextStream text(&out);
    text << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" viewBox=\"0 0 16 16\">\n"
         << "  <path fill=\"#bebebe\" d=\"" << svgPath(t.map(StatusIcon::outline())) << "\"/>\n</svg>\n";
    return text.status() == QTextStream::Ok;
}

bool writePng(const QString& file, int side) {
    QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(side / kCanvas, side / kCanvas);
    painter.setPen(QPen(kBorder, 2));
    painter.setBrush(kBackground);
    painter.drawRoundedRect(QRectF(kInset, kInset, kCanvas - 2 * kInset, kCanvas - 2 * kInset), kRadius, kRadius);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kGlyph);
    painter.drawPath(glyphTransform().map(StatusIcon::outline()));
    painter.end();
    return image.save(file, "PNG");
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s ICON-THEME-FOLDER\n", argv[0]);
        return 2;
    }
    QDir theme(QString::fromLocal8Bit(argv[1]));
    bool ok = theme.mkpath("scalable/apps") && writeSvg(theme.filePath(QString("scalable/apps/%1.svg").arg(kName)));
    ok = ok && theme.mkpath("scalable/status") &&
         writeSymbolic(theme.filePath(QString("scalable/status/%1.svg").arg(kSymbolicStatusIcon)), false) &&
         writeSymbolic(theme.filePath(QString("scalable/status/%1.svg").arg(kSymbolicFlashStatusIcon)), true);
    for (int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QString folder = QString("%1x%1/apps").arg(side);
        ok = ok && theme.mkpath(folder) && writePng(theme.filePath(folder + "/" + kName + ".png"), side);
    }
    if (!ok) std::fprintf(stderr, "%s: could not write the icons into %s\n", argv[0], argv[1]);
    return ok ? 0 : 1;
}
