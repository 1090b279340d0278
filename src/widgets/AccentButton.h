#pragma once

#include <QPushButton>

namespace knokle {

// The windows' filled push button: accent fill, rounded, exactly 30 high and at least 84 wide.
class AccentButton : public QPushButton {
public:
    explicit AccentButton(const QString& title, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace knokle
