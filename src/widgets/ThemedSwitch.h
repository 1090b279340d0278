#pragma once

#include "viewmodels/ControlGeometry.h"

#include <QWidget>

class QVariantAnimation;

namespace knokle {

// An on/off switch: a rounded track with a white knob that slides across when clicked.
class ThemedSwitch : public QWidget {
    Q_OBJECT
public:
    explicit ThemedSwitch(QWidget* parent = nullptr);

    bool isOn() const { return on; }
    // Without animation.
    void setOn(bool value);

    // Where the parts are drawn at this moment (mid-slide while animating).
    Rect trackFrame() const;
    Rect knobFrame() const;
    // 0 off, 1 on, in between while sliding.
    double position() const { return shown; }

    QSize sizeHint() const override;

signals:
    // The user flipped the switch.
    void switched();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    bool on = false;
    double shown = 0;
    QVariantAnimation* slide;
};

} // namespace knokle
