#include "controller/TapPipeline.h"

#include "common/DiagnosticOutput.h"
#include "common/SampleClock.h"
#include "common/TextFormat.h"
#include "sensing/AccelerometerTapSource.h"
#include "sensing/Firmness.h"

namespace knokle {

namespace {

// An impact this soon after a mouse or trackpad button event is the jolt of the click.
constexpr double kClickVetoSeconds = 0.25;

} // namespace

TapPipeline::TapPipeline(MainLoop& loop, std::unique_ptr<TapSource> source, MouseButtonMonitor& buttons)
    : loop(loop), tapSource(std::move(source)), clicks(buttons, loop), counter(loop),
      self(std::make_shared<TapPipeline*>(this)) {
    wire();
}

TapPipeline::TapPipeline(MainLoop& loop, HidManagerFactory hidManagers, std::function<double()> sampleClock,
                         MouseButtonMonitor& buttons)
    : TapPipeline(loop,
                  std::make_unique<AccelerometerTapSource>(
                      std::move(hidManagers), sampleClock ? std::move(sampleClock) : [] { return sampleClockNow(); }),
                  buttons) {}

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
    wireSource();
    counter.onCountChanged = with([](TapPipeline& p, int count) {
        // Follow-up taps are measured against the previous tap while a gesture is open.
        p.tapSource->setSequenceActive(true);
        if (p.onCountChanged) p.onCountChanged(count);
    });
    counter.onGesture = with([](TapPipeline& p, int count) {
        if (count < 1) return;
        p.tapSource->setSequenceActive(false);
        if (p.onGesture) p.onGesture(count);
    });
    counter.onCooldownChanged = with([](TapPipeline& p, bool on) {
        if (p.onCooldownChanged) p.onCooldownChanged(on);
    });
}

void TapPipeline::wireSource() {
    std::weak_ptr<TapPipeline*> weak = self;
    tapSource->onUnavailable = [weak] {
        if (auto p = weak.lock(); p && (*p)->onUnavailable) (*p)->onUnavailable();
    };
    tapSource->onAcceptedPeak = [weak](double peak) {
        if (auto p = weak.lock(); p && (*p)->onAcceptedPeak) (*p)->onAcceptedPeak(peak);
    };
    tapSource->onImpact = [weak](const Impact& impact) {
        if (auto p = weak.lock()) (*p)->handleImpact(impact.force);
    };
}

void TapPipeline::replaceSource(std::unique_ptr<TapSource> source) {
    const int level = tapSource->level();
    tapSource->stop();
    tapSource = std::move(source);
    tapSource->setLevel(level);
    wireSource();
    counter.reset();
    if (started) tapSource->start();
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
    started = true;
    tapSource->start();
}

void TapPipeline::reset() {
    tapSource->reset();
    counter.reset();
}

void TapPipeline::applyFirmness(std::int64_t level, double cooldownSeconds) {
    const FirmnessLevel& row = firmnessLevel(level);
    tapSource->setLevel(row.level);
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
    return tapSource->level();
}

double TapPipeline::levelThreshold() const {
    return tapSource->levelThreshold();
}

bool TapPipeline::gestureInProgress() const {
    return counter.currentCount() > 0;
}

} // namespace knokle
