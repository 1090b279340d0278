#pragma once

#include "platform/MainLoop.h"

#include <functional>

namespace knokle {

// Ends a replay run once the recording is over and no gesture can still close: at once when none is being
// counted, else as soon as it closes, and never later than the longest gesture window after the last report.
class ExitWhenSettled {
public:
    ExitWhenSettled(MainLoop& loop, std::function<bool()> gestureInProgress, std::function<double()> longestWindow,
                    std::function<void()> exit);
    ~ExitWhenSettled();
    ExitWhenSettled(const ExitWhenSettled&) = delete;
    ExitWhenSettled& operator=(const ExitWhenSettled&) = delete;

    void recordingFinished();

private:
    void exitOnce();

    MainLoop& loop;
    std::function<bool()> gestureInProgress;
    std::function<double()> longestWindow;
    std::function<void()> exit;
    TimerHandle watch;
    TimerHandle deadline;
    bool exited = false;
};

} // namespace knokle
