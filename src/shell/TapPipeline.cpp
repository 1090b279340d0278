#include "shell/TapPipeline.h"

#include "common/DiagnosticOutput.h"
#include "common/SampleClock.h"
#include "common/TextFormat.h"
#include "sensing/Firmness.h"

namespace knokle {

namespace {

// An impact this soon after a mouse or trackpad button event is the jolt of the click.
constexpr double kClickVetoSeconds = 0.25;

} // namespace

TapPipeline::TapPipeline(MainLoop& loop, HidManagerFactory hidManagers, std::function<double()> sampleClock,
                         MouseButtonMonitor& buttons)
    : loop(loop), sensor(
                      std::move(hidManagers), sampleClock ? std::move(sampleClock) : [] { return sampleClockNow(); }),
      clicks(buttons, loop), counter(loop), self(std::make_shared<TapPipeline*>(this)) {
    wire();
}

TapPipeline::~TapPipeline() {
    self.reset();
}

void TapPipeline::wire() {
    // Callbacks may outlive the pipeline inside the platform's queues; they hold it weakly.
    std::weak_ptr<TapPipeline*> weak = self;
    auto with = [weak](auto fn) {
        return [weak, fn](auto... args) {
            if (auto pipeline = weak.lock()) fn(**pipeline, args...);
        };
    };
    sensor.onSample =
        with([](TapPipeline& p, double x, double y, double z, double t) { p.detector.ingest(x, y, z, t); });
    sensor.onUnavailable = with([](TapPipeline& p) {
        if (p.onUnavailable) p.onUnavailable();
    });
    detector.onAcceptedPeak = with([](TapPipeline& p, double peak) {
        if (p.onAcceptedPeak) p.onAcceptedPeak(peak);
    });
    detector.onImpact = with([](TapPipeline& p, double force) { p.handleImpact(force); });
    counter.onCountChanged = with([](TapPipeline& p, int count) {
        // Follow-up taps are measured against the previous tap while a gesture is open.
        p.detector.sequenceActive = true;
        if (p.onCountChanged) p.onCountChanged(count);
    });
    counter.onGesture = with([](TapPipeline& p, int count) {
        if (count < 1) return;
        p.detector.sequenceActive = false;
        if (p.onGesture) p.onGesture(count);
    });
    counter.onCooldownChanged = with([](TapPipeline& p, bool on) {
        if (p.onCooldownChanged) p.onCooldownChanged(on);
    });
}

void TapPipeline::handleImpact(double force) {
    if (clicks.secondsSinceLastClick(loop.now()) < kClickVetoSeconds) {
        printLine("[click] impact ignored — trackpad/mouse click");
        return;
    }
    printLine(format("[impact] force x%.2f", force));
    if (onImpact) onImpact(force);
    counter.registerImpact();
}

void TapPipeline::start() {
    clicks.start();
    sensor.start();
}

void TapPipeline::reset() {
    detector.reset();
    counter.reset();
}

void TapPipeline::applyFirmness(std::int64_t level, double cooldownSeconds) {
    const FirmnessLevel& row = firmnessLevel(level);
    detector.level = row.level;
    counter.initialWindow = row.initialWindow;
    counter.maxWindow = row.maxWindow;
    counter.cooldown = cooldownSeconds;
}

void TapPipeline::setCooldown(double seconds) {
    counter.cooldown = seconds;
}

void TapPipeline::setFireAtCount(int count) {
    counter.maxCount = 3;
    counter.fireAtCount = count;
}

int TapPipeline::fireAtCount() const {
    return counter.fireAtCount;
}

int TapPipeline::level() const {
    return detector.level;
}

double TapPipeline::levelThreshold() const {
    return detector.levelThreshold();
}

bool TapPipeline::gestureInProgress() const {
    return counter.currentCount() > 0;
}

} // namespace knokle
