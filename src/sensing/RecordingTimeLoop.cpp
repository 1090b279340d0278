#include "sensing/RecordingTimeLoop.h"

#include <algorithm>

namespace knokle {

RecordingTimeLoop::State::State(MainLoop& inner, double speed)
    : inner(inner), speed(speed), anchor(inner.now()), realAnchor(anchor), held(anchor) {}

MonotonicTime RecordingTimeLoop::State::nowLocked() const {
    if (holding) return held;
    return anchor + toSteady(Seconds(inner.now() - realAnchor) * speed);
}

TimerHandle RecordingTimeLoop::State::add(Seconds delay, std::function<void()> fn) {
    auto cancelled = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard lock(mutex);
    std::pair key{nowLocked() + toSteady(std::max(delay, Seconds(0))), nextId++};
    timers.emplace(key, Timer{std::move(fn), cancelled});
    // While the recording holds time, only `reach` moves it; what is due already still fires soon.
    if (!holding || key.first <= held) schedule(key);
    return TimerHandle(cancelled);
}

void RecordingTimeLoop::State::schedule(std::pair<MonotonicTime, std::uint64_t> key) {
    // Rounded up: a wait cut short by the clock's resolution would find the timer not yet due, again and again.
    Seconds wait = holding ? Seconds(0)
                           : std::max(Seconds(key.first - nowLocked()) / speed, Seconds(0)) + Seconds(1e-6);
    std::weak_ptr<State> weak = weak_from_this();
    inner.after(wait, [weak, key] {
        auto self = weak.lock();
        if (!self) return;
        self->fireDue(std::nullopt);
        // A real timer may fire a little early: look again later rather than lose the timer.
        std::lock_guard lock(self->mutex);
        if (self->timers.contains(key) && !self->holding && key.first > self->nowLocked()) self->schedule(key);
    });
}

void RecordingTimeLoop::State::fireDue(std::optional<MonotonicTime> until) {
    for (;;) {
        Timer timer;
        {
            std::lock_guard lock(mutex);
            if (timers.empty()) return;
            auto first = timers.begin();
            MonotonicTime due = first->first.first;
            if (due > (until ? *until : nowLocked())) return;
            if (holding) held = std::max(held, due);
            timer = std::move(first->second);
            timers.erase(first);
        }
        if (!timer.cancelled->load()) timer.fn();
    }
}

RecordingTimeLoop::RecordingTimeLoop(MainLoop& inner, double speed)
    : state(std::make_shared<State>(inner, speed > 0 ? speed : 1.0)) {}

RecordingTimeLoop::~RecordingTimeLoop() = default;

MonotonicTime RecordingTimeLoop::now() const {
    std::lock_guard lock(state->mutex);
    return state->nowLocked();
}

void RecordingTimeLoop::post(std::function<void()> fn) {
    state->inner.post(std::move(fn));
}

TimerHandle RecordingTimeLoop::after(Seconds delay, std::function<void()> fn) {
    return state->add(delay, std::move(fn));
}

namespace {

struct Repeating {
    Seconds interval;
    std::function<void()> fn;
    std::shared_ptr<std::atomic<bool>> cancelled = std::make_shared<std::atomic<bool>>(false);
};

} // namespace

TimerHandle RecordingTimeLoop::every(Seconds interval, std::function<void()> fn) {
    auto repeating = std::make_shared<Repeating>(Repeating{interval, std::move(fn)});
    // Each turn schedules the next; the handle's flag stops the chain.
    struct Turn {
        std::weak_ptr<State> state;
        std::shared_ptr<Repeating> repeating;
        void operator()() const {
            if (repeating->cancelled->load()) return;
            repeating->fn();
            auto self = state.lock();
            if (self && !repeating->cancelled->load()) self->add(repeating->interval, *this);
        }
    };
    state->add(interval, Turn{state, repeating});
    return TimerHandle(repeating->cancelled);
}

void RecordingTimeLoop::reach(double recordingSeconds) {
    MonotonicTime target;
    {
        std::lock_guard lock(state->mutex);
        if (state->released) return;
        Seconds offset(std::max(recordingSeconds, 0.0));
        if (!state->recordingStart) state->recordingStart = state->nowLocked() - toSteady(offset);
        target = *state->recordingStart + toSteady(offset);
        if (!state->holding) {
            state->held = std::min(state->nowLocked(), target);
            state->holding = true;
        }
    }
    state->fireDue(target);
    std::lock_guard lock(state->mutex);
    state->held = std::max(state->held, target);
}

void RecordingTimeLoop::release() {
    std::lock_guard lock(state->mutex);
    if (state->released) return;
    state->released = true;
    state->anchor = state->nowLocked();
    state->realAnchor = state->inner.now();
    state->holding = false;
    for (const auto& [key, timer] : state->timers) state->schedule(key);
}

} // namespace knokle
