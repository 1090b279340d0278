#include "windows/BlockMeterView.h"

#include "windows/Theme.h"

#include <QPainter>
#include <QPointer>

namespace knokle {

BlockMeterView::BlockMeterView(MainLoop& loop, QWidget* parent) : QWidget(parent), loop(loop) {
    setFixedHeight(44);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

BlockMeterView::~BlockMeterView() {
    stop();
}

void BlockMeterView::start() {
    if (timer.isScheduled()) return;
    timer = loop.every(Seconds(MeterModel::kFrameSeconds), [view = QPointer<BlockMeterView>(this)] {
        if (!view) return;
        int lit = view->meter.litBlocks();
        view->meter.decay();
        // Repaint only when the picture changes: each repaint also blurs the card's shadow again.
        if (view->meter.litBlocks() != lit || view->isFlashing() != view->paintedFlashing) view->update();
    });
}

void BlockMeterView::stop() {
    timer.cancel();
}

void BlockMeterView::showEvent(QShowEvent*) {
    start();
}

void BlockMeterView::hideEvent(QHideEvent*) {
    stop();
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
