#include "widgets/CardView.h"

#include "widgets/Theme.h"

#include <QGraphicsDropShadowEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>

namespace knokle {

CardView::CardView(QWidget* parent) : QWidget(parent) {
    auto* shadow = new QGraphicsDropShadowEffect(this);
    shadow->setColor(QColor(0, 0, 0, qRound(255 * ControlGeometry::kCardShadowOpacity)));
    shadow->setBlurRadius(ControlGeometry::kCardShadowBlur);
    shadow->setOffset(0, ControlGeometry::kCardShadowOffsetY);
    setGraphicsEffect(shadow);
}

QLabel* CardView::symbolView(const QPixmap& symbol) {
    auto* view = new QLabel;
    view->setFixedSize(Theme::kSymbolSize, Theme::kSymbolSize);
    view->setAlignment(Qt::AlignCenter);
    view->setPixmap(symbol);
    view->setObjectName("symbol");
    return view;
}

CardView* CardView::make(const QPixmap& symbol, const QString& title, QWidget* accessory,
                         const std::vector<QWidget*>& body, Column column) {
    auto* card = new CardView;
    auto* stack = new QVBoxLayout(card);
    stack->setContentsMargins(column.insetX, column.insetY, column.insetX, column.insetY);
    stack->setSpacing(column.spacing);
    auto* header = new QHBoxLayout;
    header->setSpacing(8);
    header->addWidget(symbolView(symbol));
    header->addWidget(Theme::label(title, 14, QFont::DemiBold, Palette::text, true), 1);
    if (accessory) header->addWidget(accessory);
    stack->addLayout(header);
    for (QWidget* view : body)
        stack->addWidget(view);
    return card;
}

void CardView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The hairline sits inside the bounds, as a layer border does.
    QRectF bounds = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(Theme::color(Palette::border), 1));
    painter.setBrush(Theme::color(Palette::card));
    painter.drawRoundedRect(bounds, ControlGeometry::kCardRadius - 0.5, ControlGeometry::kCardRadius - 0.5);
}

} // namespace knokle
