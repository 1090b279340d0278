#pragma once

#include "viewmodels/ControlGeometry.h"
#include "viewmodels/Palette.h"

#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QVariantAnimation;

namespace knokle {

// A row of choices with a highlight that slides to the one clicked. There is no programmatic selection after
// creation: a control that must show another choice is made anew.
class SlidingSegmented : public QWidget {
public:
    SlidingSegmented(std::vector<std::string> labels, int selected, QWidget* parent = nullptr);

    int selectedIndex() const { return selected; }
    int count() const { return static_cast<int>(labels.size()); }
    std::function<void(int)> onChange;
    // Clicks are ignored while false.
    bool isEnabledLike = true;

    // The control's opacity; animated over 0.25 s when asked.
    void setOpacity(double value, bool animated);
    double opacity() const { return alpha; }

    // Where the highlight is at this moment, and where it rests for segment i.
    Rect pillFrame() const;
    Rect restingPillFrame(int index) const;
    Colour labelColour(int index) const;

    // A click at x in the control's own coordinates.
    void clickAt(double x);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::vector<std::string> labels;
    int selected;
    double pillAt; // the pill's position in segments, fractional while sliding
    double alpha = 1;
    QVariantAnimation* slide;
    QVariantAnimation* fade;
};

} // namespace knokle
