#include "widgets/ThemedTextField.h"

#include "widgets/Theme.h"

#include <QPainter>

namespace knokle {

namespace {
// QLineEdit keeps these of its own around the text.
constexpr int kOwnMarginX = 2;
constexpr int kOwnMarginY = 1;
} // namespace

ThemedTextField::ThemedTextField(const QString& text, const QString& placeholder, QWidget* parent)
    : QLineEdit(text, parent) {
    setPlaceholderText(placeholder);
    setFrame(false);
    setFont(Theme::font(13));
    setAttribute(Qt::WA_MacShowFocusRect, false);
    Rect padded = ControlGeometry::fieldTextRect({0, 0, 100, ControlGeometry::kFieldHeight});
    int padX = static_cast<int>(padded.x) - kOwnMarginX;
    int padY = static_cast<int>(padded.y) - kOwnMarginY;
    setTextMargins(padX, padY, padX, padY);
    QPalette colours = palette();
    colours.setColor(QPalette::Base, Qt::transparent);
    colours.setColor(QPalette::Text, Theme::color(Palette::text));
    colours.setColor(QPalette::PlaceholderText, Theme::color(Palette::textDim)); // 4.5:1 on the field
    colours.setColor(QPalette::Highlight, Theme::color(Palette::neonFill));
    colours.setColor(QPalette::HighlightedText, Theme::color(Palette::text));
    setPalette(colours);
    setFixedHeight(static_cast<int>(ControlGeometry::kFieldHeight));
}

QSize ThemedTextField::sizeHint() const {
    return {QLineEdit::sizeHint().width(), static_cast<int>(ControlGeometry::kFieldHeight)};
}

void ThemedTextField::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(Theme::color(Palette::border), 1));
        painter.setBrush(Theme::color(Palette::field));
        double r = ControlGeometry::kFieldRadius - 0.5;
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), r, r);
    }
    QLineEdit::paintEvent(event);
}

} // namespace knokle
