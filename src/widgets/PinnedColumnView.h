#pragma once

#include <QWidget>

class QVBoxLayout;

namespace knokle {

// The scrolling document of the mode editor: its column is pinned to the top and left, and keeps 10 points
// below its last row; whatever height is left over stays empty at the bottom.
class PinnedColumnView : public QWidget {
public:
    explicit PinnedColumnView(QWidget* column, QWidget* parent = nullptr);
};

} // namespace knokle
