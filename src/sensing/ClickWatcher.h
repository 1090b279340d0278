#pragma once

#include "platform/MainLoop.h"
#include "platform/MouseButtonMonitor.h"

#include <memory>
#include <optional>

namespace knokle {

// Remembers when a mouse or trackpad button was last pressed or released anywhere on the desktop, so that
// the jolt of a click is not taken for a tap.
class ClickWatcher {
public:
    ClickWatcher(MouseButtonMonitor& buttons, MainLoop& loop);
    ~ClickWatcher(); // stop()
    ClickWatcher(const ClickWatcher&) = delete;
    ClickWatcher& operator=(const ClickWatcher&) = delete;

    void start();
    void stop();

    std::optional<MonitorToken> monitor;
    MonotonicTime lastClick = MonotonicTime::min(); // the distant past: nothing is vetoed before a click

    // Seconds from lastClick to now; infinity before the first click.
    double secondsSinceLastClick(MonotonicTime now) const;

private:
    MouseButtonMonitor& buttons;
    MainLoop& loop;
    // The monitor's handler holds this weakly, so a click delivered after the watcher is gone does nothing.
    std::shared_ptr<ClickWatcher*> self;
};

} // namespace knokle
