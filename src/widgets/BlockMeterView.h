#pragma once

#include "platform/MainLoop.h"
#include "viewmodels/MeterModel.h"

#include <QWidget>

namespace knokle {

// The calibration window's level meter. Its fading runs on a 1/60 s timer, and only while the meter is on
// screen and has something to fade: a hidden window, or one at rest, costs no wake-ups.
class BlockMeterView : public QWidget {
public:
    explicit BlockMeterView(MainLoop& loop, QWidget* parent = nullptr);
    ~BlockMeterView() override;

    MeterModel& model() { return meter; }
    const MeterModel& model() const { return meter; }
    // Shows this level now and fades it from there.
    void setLevel(double level);
    // Lit blocks show success for a moment.
    void flash();
    bool isFlashing() const;
    bool isFading() const { return timer.isScheduled(); }

    QSize sizeHint() const override { return {412, 44}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // Fades while on screen and above zero.
    void wake();
    void tick();

    MainLoop& loop;
    MeterModel meter;
    TimerHandle timer;
    bool paintedFlashing = false;
};

} // namespace knokle
