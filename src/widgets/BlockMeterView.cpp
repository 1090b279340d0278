#include "widgets/BlockMeterView.h"

#include "widgets/Theme.h"

#include <QPainter>
#include <QPointer>

namespace knokle {

BlockMeterView::BlockMeterView(MainLoop& loop, QWidget* parent) : QWidget(parent), loop(loop) {
    setFixedHeight(44);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

BlockMeterView::~BlockMeterView() {
    timer.cancel();
}

void BlockMeterView::setLevel(double level) {
    meter.displayLevel = level;
    update();
    wake();
}

void BlockMeterView::wake() {
    if (timer.isScheduled() || !isVisible() || meter.displayLevel <= 0) return;
    timer = loop.every(Seconds(MeterModel::kFrameSeconds), [view = QPointer<BlockMeterView>(this)] {
        if (view) view->tick();
    });
}

void BlockMeterView::tick() {
    int lit = meter.litBlocks();
    bool fading = meter.decay();
    // Repaint only when the picture changes: each repaint also blurs the card's shadow again.
    if (meter.litBlocks() != lit || isFlashing() != paintedFlashing) update();
    if (!fading) timer.cancel();
}

void BlockMeterView::showEvent(QShowEvent*) {
    wake();
}

void BlockMeterView::hideEvent(QHideEvent*) {
    timer.cancel();
}

void BlockMeterView::flash() {
    meter.flashUntil = loop.now() + toSteady(Seconds(MeterModel::kFlashSeconds));
    update();
}

bool BlockMeterView::isFlashing() const {
    return loop.now() < meter.flashUntil;
}

void BlockMeterView::paintEvent(QPaintEvent*) {
    paintedFlashing = isFlashing();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    for (const auto& block : meter.blocks(width(), height(), paintedFlashing)) {
        painter.setBrush(Theme::color(block.colour));
        painter.drawRoundedRect(Theme::rect(block.frame), 3, 3);
    }
    painter.setBrush(Theme::color(Palette::text));
    painter.drawRoundedRect(Theme::rect(meter.marker(width(), height())), 1.5, 1.5);
}

} // namespace knokle
