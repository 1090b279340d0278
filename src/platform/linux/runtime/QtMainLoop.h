#pragma once

#include "platform/MainLoop.h"

#include <QObject>

namespace knokle {

// The main loop on Qt's event loop of the thread that creates it. Timers are precise: a tap window must
// not close early.
class QtMainLoop final : public MainLoop {
public:
    QtMainLoop();
    ~QtMainLoop() override;

    MonotonicTime now() const override;
    void post(std::function<void()> fn) override;
    TimerHandle after(Seconds delay, std::function<void()> fn) override;
    TimerHandle every(Seconds interval, std::function<void()> fn) override;

    // The delay a timer really waits: no less than nothing, no more than the longest interval QTimer holds.
    static Seconds supportedDelay(Seconds delay);

private:
    void startTimer(Seconds delay, bool repeating, std::shared_ptr<std::atomic<bool>> cancelled,
                    std::function<void()> fn);

    QObject* context; // lives on the main thread; deleting it drops every pending call
};

} // namespace knokle
