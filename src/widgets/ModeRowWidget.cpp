#include "widgets/ModeRowWidget.h"

#include <QAction>
#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QStyleOptionMenuItem>

namespace knokle {

ModeRowWidget::ModeRowWidget(std::vector<TextRun> runs, QAction* action, QWidget* parent)
    : QWidget(parent), runs(std::move(runs)), action(action) {
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setFont(QApplication::font("QMenu"));
}

QFont ModeRowWidget::runFont(const QFont& menuFont, const TextRun& run) {
    QFont font = menuFont;
    if (run.fontSizeDelta != 0 && menuFont.pointSizeF() > 0)
        font.setPointSizeF(std::max(1.0, menuFont.pointSizeF() + run.fontSizeDelta));
    if (run.kerning != 0) font.setLetterSpacing(QFont::AbsoluteSpacing, run.kerning);
    return font;
}

int ModeRowWidget::textStart() const {
    // Where the other items' titles start: after the margin and the column for check marks.
    const QStyle* s = style();
    return s->pixelMetric(QStyle::PM_MenuHMargin) + s->pixelMetric(QStyle::PM_MenuPanelWidth) +
           std::max(s->pixelMetric(QStyle::PM_SmallIconSize), 20) + 8;
}

QSize ModeRowWidget::sizeHint() const {
    double width = textStart() + 12;
    double height = 0;
    for (const auto& run : runs) {
        QFontMetricsF metrics(runFont(font(), run));
        width += metrics.horizontalAdvance(QString::fromStdString(run.text));
        height = std::max(height, metrics.height());
    }
    return {int(std::ceil(width)), int(std::ceil(height)) + 2 * style()->pixelMetric(QStyle::PM_MenuVMargin) + 6};
}

void ModeRowWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QStyleOptionMenuItem option;
    option.initFrom(this);
    option.menuItemType = QStyleOptionMenuItem::Normal;
    option.checkType = QStyleOptionMenuItem::NotCheckable;
    option.rect = rect();
    option.state = QStyle::State_Enabled;
    if (hovered || hasFocus()) option.state |= QStyle::State_Selected;
    style()->drawControl(QStyle::CE_MenuItem, &option, &painter, this);

    QColor pen = palette().color(option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text);
    painter.setPen(pen);
    QFontMetricsF base(font());
    double baseline = (height() - base.height()) / 2 + base.ascent();
    double x = textStart();
    for (const auto& run : runs) {
        QFont f = runFont(font(), run);
        painter.setFont(f);
        QString text = QString::fromStdString(run.text);
        painter.drawText(QPointF(x, baseline - run.baselineOffset), text);
        x += QFontMetricsF(f).horizontalAdvance(text);
    }
}

void ModeRowWidget::enterEvent(QEnterEvent*) {
    hovered = true;
    update();
}

void ModeRowWidget::leaveEvent(QEvent*) {
    hovered = false;
    update();
}

void ModeRowWidget::mouseReleaseEvent(QMouseEvent*) {
    choose();
}

void ModeRowWidget::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Space)
        choose();
    else
        QWidget::keyPressEvent(event);
}

void ModeRowWidget::choose() {
    // A menu closes once an item is chosen; a widget row has to close it itself.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* menu = qobject_cast<QMenu*>(w)) menu->hide();
    if (action) action->trigger();
}

} // namespace knokle
