#pragma once

#include "platform/InputActivityMonitor.h"

#include <QObject>
#include <QTimer>

namespace knokle {

// GNOME's idle monitor (org.gnome.Mutter.IdleMonitor on the session bus), the one place a Wayland session tells
// other programs about input. It gives no single presses, only that the user became active and how long ago the
// last input was, pointer motion included: while the user is active the latest input time is read every 50 ms,
// and the last one again when the desktop turns idle.
class MutterIdleActivityMonitor final : public QObject, public InputActivityMonitor {
    Q_OBJECT
public:
    MutterIdleActivityMonitor();
    ~MutterIdleActivityMonitor() override;

    // False where GNOME's idle monitor is not on the bus.
    bool start(std::function<void(double time)> handler) override;
    void stop() override;

private slots:
    void watchFired(uint id);

private:
    void addActiveWatch();
    void readIdleTime();

    std::function<void(double)> handler;
    uint idleWatch = 0;
    uint activeWatch = 0;
    QTimer poll;
};

} // namespace knokle
