#include "widgets/WindowPresenter.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <cmath>

namespace knokle {

namespace {

// Runs a function once the window is exposed (mapped by the window manager): requests about a window that is
// not mapped yet are ignored.
class WhenExposed final : public QObject {
public:
    WhenExposed(QWindow* window, std::function<void()> fn) : QObject(window), fn(std::move(fn)) {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = static_cast<QWindow*>(watched);
        if (event->type() == QEvent::Expose && window->isExposed()) {
            window->removeEventFilter(this);
            auto run = std::move(fn);
            deleteLater();
            run();
        }
        return false;
    }

private:
    std::function<void()> fn;
};

QScreen* screenFor(QWidget* window, QWidget* other) {
    if (QScreen* screen = window->screen()) return screen;
    if (QScreen* screen = other->screen()) return screen;
    return QGuiApplication::primaryScreen();
}

// A window that was never shown has no frame yet: it will get the same decorations as the other one.
QRect expectedFrame(const QWidget* window, const QWidget* other) {
    QRect frame = window->frameGeometry();
    if (frame != window->geometry()) return frame;
    QRect otherFrame = other->frameGeometry(), otherClient = other->geometry();
    QSize decorations = otherFrame.size() - otherClient.size();
    return QRect(window->pos(), window->size() + decorations);
}

} // namespace

WindowPresenter::WindowPresenter(std::function<void(QWidget*)> activate) : activate(std::move(activate)) {}

ScreenRect WindowPresenter::screenRect(const QRect& r) {
    return {double(r.x()), double(r.y()), double(r.width()), double(r.height())};
}

void WindowPresenter::present(QWidget* window, QWidget* other) const {
    if (!window) return;
    bool otherShown = other && other != window && other->isVisible();
    if (otherShown && !window->isVisible()) {
        QScreen* screen = screenFor(window, other);
        std::optional<ScreenRect> area;
        if (screen) area = screenRect(screen->availableGeometry());
        auto placed = placeBeside(screenRect(expectedFrame(window, other)), screenRect(other->frameGeometry()), area);
        if (placed) window->move(int(std::lround(placed->x)), int(std::lround(placed->y)));
    }
    // The other window stays just behind the presented one.
    if (otherShown) other->raise();
    if (window->isMinimized()) window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
    window->show();
    window->raise();
    window->activateWindow();
    if (!activate) return;
    QWindow* handle = window->windowHandle();
    if (!handle || handle->isExposed()) {
        activate(window);
        return;
    }
    QPointer<QWidget> guard(window);
    new WhenExposed(handle, [guard, activate = activate] {
        if (guard) activate(guard);
    });
}

} // namespace knokle
