#include "sensing/LowRateTapSource.h"

#include "common/DiagnosticOutput.h"
#include "common/TextFormat.h"

namespace knokle {

LowRateTapSource::LowRateTapSource(MainLoop& loop, AccelerometerPort& port)
    : loop(loop), port(port), self(std::make_shared<LowRateTapSource*>(this)) {
    detector.onAcceptedPeak = [this](double peak) {
        if (onAcceptedPeak) onAcceptedPeak(peak);
    };
    detector.onImpact = [this](double force) {
        if (onImpact) onImpact(Impact{sampleTime, detector.lastAcceptedPeak, force});
    };
}

LowRateTapSource::~LowRateTapSource() {
    self.reset();
    stop();
}

void LowRateTapSource::start() {
    if (!accelerometer && !retry.isScheduled()) discover();
}

void LowRateTapSource::stop() {
    retry.cancel();
    if (accelerometer) accelerometer->stop();
    accelerometer.reset();
    detector.reset();
}

void LowRateTapSource::discover() {
    found.reset();
    for (const AccelerometerInfo& info : port.discover()) {
        if (!found) found = info; // said even when it cannot be read
        if (info.busy) continue;
        auto opened = port.open(info);
        if (!opened) continue;
        std::weak_ptr<LowRateTapSource*> weak = self;
        opened->onSample = [weak](double x, double y, double z, double t) {
            if (auto source = weak.lock()) {
                (*source)->sampleTime = t;
                (*source)->detector.ingest(x, y, z, t);
            }
        };
        opened->onVanished = [weak] {
            if (auto source = weak.lock()) (*source)->vanished();
        };
        if (!opened->start()) continue;
        found = info;
        accelerometer = std::move(opened);
        detector.reset();
        saidUnavailable = false;
        printLine(format("[accelerometer] Reading %s (%s, %s) at %.0f Hz", info.name.c_str(), info.kind.c_str(),
                         info.node.c_str(), info.rate));
        // What the device really delivers is known once its samples have come for a while.
        retry = loop.after(Seconds(rateMeasuringSeconds), [weak] {
            if (auto source = weak.lock(); source && (*source)->onStatusChanged) (*source)->onStatusChanged();
        });
        return;
    }
    if (found && found->busy)
        printLine("[accelerometer] " + found->name + " is streamed by another program; it is left alone.");
    if (onStatusChanged) onStatusChanged();
    // Said once, not at every look.
    if (!saidUnavailable && onUnavailable) onUnavailable();
    saidUnavailable = true;
    vanished();
}

void LowRateTapSource::vanished() {
    if (accelerometer) {
        printLine("[accelerometer] " + (found ? found->name : std::string("The accelerometer")) +
                  " is gone; looking again in a few seconds.");
        // Stopped later: this may run inside the accelerometer's own callback.
        std::shared_ptr<PolledAccelerometer> gone = std::move(accelerometer);
        gone->stop();
        loop.post([gone] {});
        if (onStatusChanged) onStatusChanged();
        if (onUnavailable) onUnavailable();
        saidUnavailable = true;
    }
    retry.cancel();
    std::weak_ptr<LowRateTapSource*> weak = self;
    retry = loop.after(Seconds(rediscoverySeconds), [weak] {
        if (auto source = weak.lock()) (*source)->discover();
    });
}

} // namespace knokle
