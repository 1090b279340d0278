#include "widgets/PinnedColumnView.h"

#include <QVBoxLayout>

namespace knokle {

PinnedColumnView::PinnedColumnView(QWidget* column, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 10);
    layout->setSpacing(0);
    layout->addWidget(column, 0, Qt::AlignTop);
    layout->addStretch(1);
}

} // namespace knokle
