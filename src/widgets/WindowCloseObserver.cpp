#include "widgets/WindowCloseObserver.h"

#include <QEvent>
#include <QWidget>

namespace knokle {

WindowCloseObserver::WindowCloseObserver(QWidget* window, std::function<void()> onClosed)
    : QObject(window), onClosed(std::move(onClosed)) {
    window->installEventFilter(this);
}

bool WindowCloseObserver::eventFilter(QObject* watched, QEvent* event) {
    // A hide that the window system reports (minimising) leaves the window visible to the program.
    if (event->type() == QEvent::Hide && !event->spontaneous() && !static_cast<QWidget*>(watched)->isVisible() &&
        onClosed)
        onClosed();
    return false;
}

} // namespace knokle
