#include "widgets/Theme.h"

#include "viewmodels/Symbols.h"

#include <QAbstractScrollArea>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QScrollBar>

namespace knokle::Theme {

QColor color(const Colour& colour) {
    return QColor::fromRgbF(static_cast<float>(colour.red), static_cast<float>(colour.green),
                            static_cast<float>(colour.blue), static_cast<float>(colour.alpha));
}

QFont font(int size, QFont::Weight weight) {
    QFont font(kTextFamily);
    font.setPixelSize(size);
    font.setWeight(weight);
    font.setStyleHint(QFont::SansSerif, QFont::PreferAntialias);
    return font;
}

QPixmap symbolImage(const std::string& name, const Colour& tint, int size) {
    auto glyph = symbolGlyph(name);
    if (!glyph) return {};
    const qreal ratio = qGuiApp ? qGuiApp->devicePixelRatio() : 1.0;
    QPixmap image(QSize(size, size) * ratio);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QFont symbols(kSymbolFamily);
    symbols.setPixelSize(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(symbols);
    painter.setPen(color(tint));
    char32_t codepoint = *glyph;
    painter.drawText(QRectF(0, 0, size, size), Qt::AlignCenter, QString::fromUcs4(&codepoint, 1));
    return image;
}

QRectF rect(const Rect& r) {
    return {r.x, r.y, r.width, r.height};
}

QLabel* label(const QString& text, int size, QFont::Weight weight, const Colour& colour, bool wrap) {
    auto* label = new QLabel(text);
    label->setFont(font(size, weight));
    label->setWordWrap(wrap);
    label->setTextFormat(Qt::PlainText);
    setLabelColour(label, colour);
    return label;
}

void setLabelColour(QLabel* label, const Colour& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color(colour));
    label->setPalette(palette);
}

void styleScrollBar(QAbstractScrollArea* area) {
    // A style sheet on the bar alone: the default bar is a light trough on the dark window.
    QString css = QString("QScrollBar:vertical { background: %1; width: 10px; margin: 0; border: none; }"
                          "QScrollBar::handle:vertical { background: %2; border-radius: 4px; min-height: 32px;"
                          " margin: 1px; }"
                          "QScrollBar::handle:vertical:hover { background: %3; }"
                          "QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }"
                          "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }")
                      .arg(color(Palette::bg).name(), color(Palette::border).name(), color(Palette::textFaint).name());
    area->verticalScrollBar()->setStyleSheet(css);
}

} // namespace knokle::Theme
