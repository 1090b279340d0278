#include "widgets/StandInCalibrationWindow.h"

#include "widgets/WindowCloseObserver.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <algorithm>

namespace knokle {

StandInCalibrationWindow::StandInCalibrationWindow(const CalibrationSetup& s, std::function<void(QWidget*)> present)
    : setup(s), presentWindow(std::move(present)) {
    setWindowTitle("Test Your Taps");
    setFixedSize(460, 700);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, QColor(0x12, 0x1a, 0x2e));
    colours.setColor(QPalette::WindowText, QColor(0xef, 0xeb, 0xe3));
    setPalette(colours);
    setFont(QFont("DejaVu Sans", 12));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    new WindowCloseObserver(this, [this] {
        if (onClose) onClose();
    });
}

void StandInCalibrationWindow::setDisplayLevel(double value) {
    level = value;
    update();
}

void StandInCalibrationWindow::setThresholdG(double value) {
    setup.thresholdG = value;
    update();
}

void StandInCalibrationWindow::setOnCooldown(bool on) {
    cooling = on;
}

void StandInCalibrationWindow::showRunning(int count) {
    status = QString("%1 tap%2…").arg(count).arg(count == 1 ? "" : "s");
    update();
}

void StandInCalibrationWindow::flashDetected(int count) {
    status = QString("%1-tap detected").arg(count);
    update();
}

void StandInCalibrationWindow::resetFooter() {
    status = "Tap the laptop to test";
    update();
}

void StandInCalibrationWindow::present() {
    if (presentWindow) presentWindow(this);
}

void StandInCalibrationWindow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    QRectF meter(40, 120, width() - 80, 40);
    painter.fillRect(meter, QColor(0x23, 0x2e, 0x4e));
    // The bar is full at three times the threshold; the marker sits where the threshold is.
    double full = setup.thresholdG > 0 ? setup.thresholdG * 3 : 1;
    double fraction = std::clamp(level / full, 0.0, 1.0);
    painter.fillRect(QRectF(meter.x(), meter.y(), meter.width() * fraction, meter.height()), QColor(0x6f, 0x92, 0xc8));
    painter.fillRect(QRectF(meter.x() + meter.width() / 3 - 1, meter.y() - 6, 2, meter.height() + 12),
                     QColor(0xef, 0xc1, 0x5e));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRectF(40, 60, width() - 80, 40), Qt::AlignLeft, "Test Your Taps");
    painter.drawText(QRectF(40, 180, width() - 80, 30), Qt::AlignLeft, QString("Level %1 g").arg(level, 0, 'f', 3));
    painter.drawText(QRectF(40, 220, width() - 80, 30), Qt::AlignLeft, cooling ? "Cooling down" : status);
}

} // namespace knokle
