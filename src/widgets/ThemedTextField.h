#pragma once

#include <QLineEdit>

namespace knokle {

// A single-line text field in the windows' look: 30 high, rounded, text and caret padded 9 across and 6 down
// inside its border.
class ThemedTextField : public QLineEdit {
public:
    ThemedTextField(const QString& text, const QString& placeholder, QWidget* parent = nullptr);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace knokle
