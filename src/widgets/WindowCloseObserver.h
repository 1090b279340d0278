#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace knokle {

// Calls a function each time a window is closed (hidden, not destroyed: the program's windows are kept), after
// it has left the screen, so that the function sees it as no longer visible. Lives as long as the window.
class WindowCloseObserver final : public QObject {
public:
    WindowCloseObserver(QWidget* window, std::function<void()> onClosed);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> onClosed;
};

} // namespace knokle
