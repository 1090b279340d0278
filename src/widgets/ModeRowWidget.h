#pragma once

#include "viewmodels/StatusMenu.h"

#include <QWidget>
#include <vector>

class QAction;

namespace knokle {

// A mode's menu row drawn with its two runs (the small tap-count circles, then the name) where the program
// draws the menu itself. It looks and behaves like a menu item: highlighted under the pointer, chosen with a
// click or Return.
class ModeRowWidget final : public QWidget {
public:
    ModeRowWidget(std::vector<TextRun> runs, QAction* action, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    // The font of one run: the menu font, resized and spaced as the run asks.
    static QFont runFont(const QFont& menuFont, const TextRun& run);

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void choose();
    int textStart() const;

    std::vector<TextRun> runs;
    QAction* action;
    bool hovered = false;
};

} // namespace knokle
