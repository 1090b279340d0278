#include "platform/linux/runtime/QtMainLoop.h"

#include <QMetaObject>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <limits>

namespace knokle {

QtMainLoop::QtMainLoop() : context(new QObject) {}

QtMainLoop::~QtMainLoop() {
    delete context;
}

MonotonicTime QtMainLoop::now() const {
    return std::chrono::steady_clock::now();
}

void QtMainLoop::post(std::function<void()> fn) {
    QMetaObject::invokeMethod(
        context, [fn = std::move(fn)] { fn(); }, Qt::QueuedConnection);
}

TimerHandle QtMainLoop::after(Seconds delay, std::function<void()> fn) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    startTimer(delay, false, cancelled, std::move(fn));
    return TimerHandle(cancelled);
}

TimerHandle QtMainLoop::every(Seconds interval, std::function<void()> fn) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    startTimer(interval, true, cancelled, std::move(fn));
    return TimerHandle(cancelled);
}

Seconds QtMainLoop::supportedDelay(Seconds delay) {
    // QTimer takes whole milliseconds in an int; anything longer (or not a number) must not overflow into a
    // negative interval or an undefined conversion.
    constexpr double longest = std::numeric_limits<int>::max() / 1000.0;
    if (!(delay.count() > 0)) return Seconds(0);
    return Seconds(std::min(delay.count(), longest));
}

void QtMainLoop::startTimer(Seconds requested, bool repeating, std::shared_ptr<std::atomic<bool>> cancelled,
                            std::function<void()> fn) {
    Seconds delay = supportedDelay(requested);
    // A QTimer belongs to the thread that starts it, so a request from another thread is moved to the main
    // thread first, keeping the delay measured from the moment of the request.
    MonotonicTime due = now() + toSteady(delay);
    auto start = [this, due, delay, repeating, cancelled, fn = std::move(fn)]() mutable {
        if (cancelled->load()) return;
        auto remaining = std::chrono::duration<double, std::milli>(due - now()).count();
        auto* timer = new QTimer(context);
        timer->setTimerType(Qt::PreciseTimer);
        timer->setSingleShot(!repeating);
        timer->setInterval(static_cast<int>(std::ceil(std::clamp(remaining, 0.0, delay.count() * 1000.0))));
        QObject::connect(timer, &QTimer::timeout, timer, [timer, delay, repeating, cancelled, fn] {
            if (cancelled->load()) {
                timer->deleteLater();
                return;
            }
            if (repeating) {
                timer->setInterval(static_cast<int>(std::ceil(delay.count() * 1000.0)));
            } else {
                timer->deleteLater();
                cancelled->store(true); // fired: the handle is spent
            }
            fn();
        });
        timer->start();
    };
    if (QThread::currentThread() == context->thread()) {
        start();
    } else {
        QMetaObject::invokeMethod(context, std::move(start), Qt::QueuedConnection);
    }
}

} // namespace knokle
