#include "sensing/ClickWatcher.h"

#include <limits>

namespace knokle {

ClickWatcher::ClickWatcher(MouseButtonMonitor& buttons, MainLoop& loop)
    : buttons(buttons), loop(loop), self(std::make_shared<ClickWatcher*>(this)) {}

ClickWatcher::~ClickWatcher() {
    stop();
}

void ClickWatcher::start() {
    if (monitor) return;
    std::weak_ptr<ClickWatcher*> weak = self;
    monitor = buttons.addGlobalMonitor([weak] {
        if (auto watcher = weak.lock()) (*watcher)->lastClick = (*watcher)->loop.now();
    });
}

void ClickWatcher::stop() {
    if (!monitor) return;
    buttons.removeMonitor(*monitor);
    monitor.reset();
}

double ClickWatcher::secondsSinceLastClick(MonotonicTime now) const {
    if (lastClick == MonotonicTime::min()) return std::numeric_limits<double>::infinity();
    return Seconds(now - lastClick).count();
}

} // namespace knokle
