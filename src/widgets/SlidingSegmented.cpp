#include "widgets/SlidingSegmented.h"

#include "widgets/Theme.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QVariantAnimation>

namespace knokle {

namespace {
constexpr int kFadeMs = 250;
}

SlidingSegmented::SlidingSegmented(std::vector<std::string> labelsIn, int selectedIn, QWidget* parent)
    : QWidget(parent), labels(std::move(labelsIn)),
      selected(ControlGeometry::clampedSelection(selectedIn, static_cast<int>(labels.size()))), pillAt(selected),
      slide(new QVariantAnimation(this)), fade(new QVariantAnimation(this)) {
    setFont(Theme::font(13, QFont::DemiBold));
    setFixedHeight(static_cast<int>(ControlGeometry::kSegmentedHeight));
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    slide->setDuration(static_cast<int>(ControlGeometry::kPillSeconds * 1000));
    slide->setEasingCurve(QEasingCurve::OutQuad);
    connect(slide, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        pillAt = value.toDouble();
        update();
    });
    fade->setDuration(kFadeMs);
    connect(fade, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        alpha = value.toDouble();
        update();
    });
}

QSize SlidingSegmented::sizeHint() const {
    return {std::max(1, count()) * 80, static_cast<int>(ControlGeometry::kSegmentedHeight)};
}

void SlidingSegmented::setOpacity(double value, bool animated) {
    fade->stop();
    if (!animated) {
        alpha = value;
        update();
        return;
    }
    fade->setStartValue(alpha);
    fade->setEndValue(value);
    fade->start();
}

Rect SlidingSegmented::restingPillFrame(int index) const {
    return ControlGeometry::pillFrame(width(), height(), count(), index);
}

Rect SlidingSegmented::pillFrame() const {
    Rect frame = restingPillFrame(0);
    frame.x += ControlGeometry::segmentWidth(width(), count()) * pillAt;
    return frame;
}

Colour SlidingSegmented::labelColour(int index) const {
    return index == selected ? Palette::text : Palette::textDim;
}

void SlidingSegmented::clickAt(double x) {
    if (!isEnabledLike || labels.empty()) return;
    int index = ControlGeometry::segmentAt(x, width(), count());
    if (index == selected) return;
    selected = index;
    slide->stop();
    slide->setStartValue(pillAt);
    slide->setEndValue(double(index));
    slide->start();
    update();
    if (onChange) onChange(index);
}

void SlidingSegmented::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) clickAt(event->position().x());
}

void SlidingSegmented::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(alpha);
    double radius = ControlGeometry::kSegmentedRadius - 0.5;
    painter.setPen(QPen(Theme::color(Palette::border), 1));
    painter.setBrush(Theme::color(Palette::well));
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    if (!labels.empty()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(Theme::color(Palette::neonFill));
        painter.drawRoundedRect(Theme::rect(pillFrame()), ControlGeometry::kPillRadius, ControlGeometry::kPillRadius);
    }
    painter.setFont(font());
    double labelHeight = QFontMetricsF(font()).height();
    for (int i = 0; i < count(); ++i) {
        painter.setPen(Theme::color(labelColour(i)));
        Rect frame = ControlGeometry::segmentLabelFrame(width(), height(), count(), i, labelHeight);
        painter.drawText(Theme::rect(frame), Qt::AlignCenter, QString::fromStdString(labels[size_t(i)]));
    }
}

} // namespace knokle
