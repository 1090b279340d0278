#include "widgets/ThemedSwitch.h"

#include "widgets/Theme.h"

#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

namespace knokle {

ThemedSwitch::ThemedSwitch(QWidget* parent) : QWidget(parent), slide(new QVariantAnimation(this)) {
    setFixedSize(sizeHint());
    setCursor(Qt::PointingHandCursor);
    slide->setDuration(static_cast<int>(ControlGeometry::kSwitchSeconds * 1000));
    slide->setEasingCurve(QEasingCurve::InOutQuad);
    connect(slide, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        shown = value.toDouble();
        update();
    });
}

QSize ThemedSwitch::sizeHint() const {
    return {static_cast<int>(ControlGeometry::kSwitchWidth), static_cast<int>(ControlGeometry::kSwitchHeight)};
}

void ThemedSwitch::setOn(bool value) {
    slide->stop();
    on = value;
    shown = on ? 1 : 0;
    update();
}

Rect ThemedSwitch::trackFrame() const {
    return ControlGeometry::switchTrack({0, 0, double(width()), double(height())});
}

Rect ThemedSwitch::knobFrame() const {
    Rect bounds{0, 0, double(width()), double(height())};
    Rect off = ControlGeometry::switchKnob(bounds, false);
    Rect onFrame = ControlGeometry::switchKnob(bounds, true);
    off.x += (onFrame.x - off.x) * shown;
    return off;
}

void ThemedSwitch::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    on = !on;
    slide->stop();
    slide->setStartValue(shown);
    slide->setEndValue(on ? 1.0 : 0.0);
    slide->start();
    emit switched();
}

void ThemedSwitch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Rect track = trackFrame();
    double radius = track.height / 2;
    painter.setPen(QPen(Theme::color(Palette::border), 1));
    painter.setBrush(Theme::color(mix(Palette::well, Palette::neonFill, shown)));
    painter.drawRoundedRect(Theme::rect(track).adjusted(0.5, 0.5, -0.5, -0.5), radius - 0.5, radius - 0.5);
    Rect knob = knobFrame();
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(Theme::rect(knob));
}

} // namespace knokle
