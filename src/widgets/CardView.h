#pragma once

#include <QPixmap>
#include <QWidget>
#include <vector>

class QLabel;

namespace knokle {

// A rounded panel that groups related controls, with a hairline border and a faint shadow.
class CardView : public QWidget {
    Q_OBJECT
public:
    explicit CardView(QWidget* parent = nullptr);

    // How a card lays out its column.
    struct Column {
        int insetY;  // above and below
        int insetX;  // left and right
        int spacing; // between rows
    };
    // A card holding one column: a header row (symbol 18 × 18, title, flexible space, accessory if any), then
    // the body's views in order, each as wide as the column.
    static CardView* make(const QPixmap& symbol, const QString& title, QWidget* accessory,
                          const std::vector<QWidget*>& body, Column column);
    // The symbol view of a card header (kept so that it can change).
    static QLabel* symbolView(const QPixmap& symbol);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace knokle
