#pragma once

#include "platform/MainLoop.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace knokle {

// The main loop as a replay's taps see it: its clock is the recording's. While the recording plays, time stands at
// the moment last delivered (`reach`), and timers due by then fire before what was recorded after them. So the tap
// counter's windows and cooldowns group a recording into the same gestures at any speed, however late a busy
// machine delivers it. Before the first `reach` and after `release` time runs `speed` times as fast as the
// real clock.
class RecordingTimeLoop final : public MainLoop {
public:
    RecordingTimeLoop(MainLoop& inner, double speed);
    ~RecordingTimeLoop() override;
    RecordingTimeLoop(const RecordingTimeLoop&) = delete;
    RecordingTimeLoop& operator=(const RecordingTimeLoop&) = delete;

    MonotonicTime now() const override;
    void post(std::function<void()> fn) override;
    TimerHandle after(Seconds delay, std::function<void()> fn) override;
    TimerHandle every(Seconds interval, std::function<void()> fn) override;

    // The recording reached `recordingSeconds` (from its first moment): fires the timers due by then, in order,
    // each seeing its own due time as now(). Called on the main loop before delivering what was recorded then.
    void reach(double recordingSeconds);
    // The recording ended: time runs on from the last moment reached.
    void release();

private:
    struct Timer {
        std::function<void()> fn;
        std::shared_ptr<std::atomic<bool>> cancelled;
    };
    struct State : std::enable_shared_from_this<State> {
        MainLoop& inner;
        double speed;
        mutable std::mutex mutex;
        // Free-running time is anchor + (real - realAnchor) * speed; while held it is `held`.
        MonotonicTime anchor;
        MonotonicTime realAnchor;
        bool holding = false;
        bool released = false;
        MonotonicTime held;
        std::optional<MonotonicTime> recordingStart;
        std::map<std::pair<MonotonicTime, std::uint64_t>, Timer> timers;
        std::uint64_t nextId = 0;

        State(MainLoop& inner, double speed);
        MonotonicTime nowLocked() const;
        TimerHandle add(Seconds delay, std::function<void()> fn);
        void schedule(std::pair<MonotonicTime, std::uint64_t> key); // with the mutex held
        void fireDue(std::optional<MonotonicTime> until);
    };
    std::shared_ptr<State> state;
};

} // namespace knokle
