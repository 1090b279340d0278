#pragma once

#include "controller/CalibrationPanel.h"

#include <QWidget>
#include <functional>

namespace knokle {

// A plain "Test Your Taps" window that stands in for the calibration window until the program has the real
// one: it shows the meter level against the threshold and the pipeline's status line, so that opening it
// from the tray, presenting it and its effect on gestures work end to end.
class StandInCalibrationWindow final : public QWidget, public CalibrationPanel {
public:
    // `present` shows the window in front (the program's presenter).
    StandInCalibrationWindow(const CalibrationSetup& setup, std::function<void(QWidget*)> present);

    bool isVisible() const override { return QWidget::isVisible(); }
    int firmness() const override { return setup.firmness; }
    double displayLevel() const override { return level; }
    void setDisplayLevel(double value) override;
    void setThresholdG(double value) override;
    void setMarkerFraction(double value) override { setup.markerFraction = value; }
    void setNeedsDisplay() override { update(); }
    void setOnCooldown(bool on) override;
    void refreshStatus() override { update(); }
    void showRunning(int count) override;
    void flashDetected(int count) override;
    void resetFooter() override;
    void present() override;
    void refresh(const CalibrationSetup& shown) override {
        setup = shown;
        update();
    }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CalibrationSetup setup;
    std::function<void(QWidget*)> presentWindow;
    double level = 0;
    bool cooling = false;
    QString status;
};

} // namespace knokle
