#pragma once

// Widget tests run offscreen on one QApplication per test process.

#include <QApplication>
#include <QImage>
#include <QLayout>
#include <QMouseEvent>
#include <QWidget>

#include "viewmodels/Palette.h"
#include "widgets/BlockMeterView.h"
#include "widgets/CalibrationWindowController.h"

namespace knokle::test {

inline void ensureWidgetsApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "knokle_ui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: widgets and input devices that outlive a test must not meet a dead application at exit.
    new QApplication(argc, argv);
}

// The widget as drawn, at scale 1, after its layout has settled.
inline QImage grabbed(QWidget* widget) {
    widget->ensurePolished();
    if (widget->layout()) widget->layout()->activate();
    return widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

inline QRgb rgbOf(const Colour& colour) {
    auto channel = [](double value) { return qRound(value * 255); };
    return qRgb(channel(colour.red), channel(colour.green), channel(colour.blue));
}

// The colour of an opaque colour drawn over another at some opacity, as 8-bit channels.
inline QRgb over(const Colour& top, double alpha, const Colour& below) {
    auto channel = [alpha](double a, double b) { return qRound((a * alpha + b * (1 - alpha)) * 255); };
    return qRgb(channel(top.red, below.red), channel(top.green, below.green), channel(top.blue, below.blue));
}

// Whether two colours differ by at most the tolerance in each channel.
inline bool near(QRgb a, QRgb b, int tolerance = 2) {
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

inline void click(QWidget* widget, QPointF at, Qt::MouseButton button = Qt::LeftButton) {
    QMouseEvent press(QEvent::MouseButtonPress, at, widget->mapToGlobal(at), button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, widget->mapToGlobal(at), button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

// The centre of meter block i in the calibration window.
inline QPoint meterBlockCentre(CalibrationWindowController& c, int i) {
    auto* meter = c.meter();
    auto frame = meter->model().blocks(meter->width(), meter->height(), false)[size_t(i)].frame;
    return meter->mapTo(c.window(), QPoint(int(frame.x + frame.width / 2), int(frame.y + frame.height / 2)));
}

} // namespace knokle::test
