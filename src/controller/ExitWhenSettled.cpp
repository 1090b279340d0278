#include "controller/ExitWhenSettled.h"

namespace knokle {

namespace {

// How often an open gesture is looked at; well under any gesture window.
constexpr double kWatchInterval = 0.01;

} // namespace

ExitWhenSettled::ExitWhenSettled(MainLoop& loop, std::function<bool()> gestureInProgress,
                                 std::function<double()> longestWindow, std::function<void()> exit)
    : loop(loop), gestureInProgress(std::move(gestureInProgress)), longestWindow(std::move(longestWindow)),
      exit(std::move(exit)) {}

ExitWhenSettled::~ExitWhenSettled() {
    watch.cancel();
    deadline.cancel();
}

void ExitWhenSettled::recordingFinished() {
    if (!gestureInProgress()) {
        exitOnce();
        return;
    }
    // The timers are cancelled with this object, so they never find it gone.
    watch = loop.every(Seconds(kWatchInterval), [this] {
        if (!gestureInProgress()) exitOnce();
    });
    deadline = loop.after(Seconds(longestWindow()), [this] { exitOnce(); });
}

void ExitWhenSettled::exitOnce() {
    watch.cancel();
    deadline.cancel();
    if (exited) return;
    exited = true;
    exit();
}

} // namespace knokle
