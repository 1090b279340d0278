#include "sensing/WavReplayCapture.h"

#include "common/DiagnosticOutput.h"

#include <algorithm>
#include <cmath>

namespace knokle {

namespace {

constexpr double kBlockSeconds = 0.02; // what the microphone's capture stream delivers
constexpr int kBlocksPerTurn = 64;     // a fast replay never starves the main loop

} // namespace

WavReplayCapture::WavReplayCapture(MainLoop& loop, std::filesystem::path file, double speed,
                                   std::function<double()> sampleTime)
    : loop(loop), file(std::move(file)), speed(std::isfinite(speed) && speed >= 0 ? speed : 1.0),
      sampleTime(std::move(sampleTime)), self(std::make_shared<WavReplayCapture*>(this)) {}

WavReplayCapture::~WavReplayCapture() {
    timer.cancel();
    self.reset();
}

void WavReplayCapture::open(const std::string&) {
    if (opened || done) return;
    if (auto why = wav.open(file)) {
        printLine("[replay] " + *why);
        failed = true;
        if (onStateChanged) onStateChanged(State::sourceGone, *why);
        finish();
        return;
    }
    opened = true;
    block.resize(static_cast<std::size_t>(std::ceil(wav.format().sampleRate * kBlockSeconds)) *
                 static_cast<std::size_t>(wav.format().channels));
    startSampleTime = sampleTime();
    startMonotonic = loop.now();
    if (onStateChanged) onStateChanged(State::listening, "");
    std::weak_ptr<WavReplayCapture*> weak = self;
    loop.post([weak] {
        if (auto capture = weak.lock()) (*capture)->deliverDue();
    });
}

void WavReplayCapture::close() {
    // A replay plays once: closing pauses nothing, it ends it.
    timer.cancel();
    opened = false;
}

void WavReplayCapture::deliverDue() {
    if (!opened) return;
    AudioFormat format = wav.format();
    std::size_t blockFrames = block.size() / static_cast<std::size_t>(format.channels);
    for (int turn = 0; turn < kBlocksPerTurn; ++turn) {
        double offset = static_cast<double>(framesDelivered) / format.sampleRate;
        // A block is due once it has been "captured", that is when its last frame is in the past.
        double due = (offset + kBlockSeconds) / std::max(speed, 1e-9);
        double elapsed = Seconds(loop.now() - startMonotonic).count();
        if (speed != 0 && due > elapsed) {
            std::weak_ptr<WavReplayCapture*> weak = self;
            // Never less than a millisecond: a wait that rounds to nothing would spin.
            timer = loop.after(Seconds(std::max(due - elapsed, 0.001)), [weak] {
                if (auto capture = weak.lock()) (*capture)->deliverDue();
            });
            return;
        }
        std::size_t got = wav.read(block.data(), blockFrames);
        if (got == 0) {
            if (wav.truncated()) {
                printLine("[replay] " + file.string() + ": the file ends before its data does");
                failed = true;
            }
            finish();
            return;
        }
        framesDelivered += got;
        if (onRecordingTime) onRecordingTime(static_cast<double>(framesDelivered) / format.sampleRate);
        if (onFrames) onFrames(block.data(), got, format, startSampleTime + offset);
        if (!opened) return; // a handler closed the replay
    }
    std::weak_ptr<WavReplayCapture*> weak = self;
    loop.post([weak] {
        if (auto capture = weak.lock()) (*capture)->deliverDue();
    });
}

void WavReplayCapture::finish() {
    if (done) return;
    done = true;
    opened = false;
    std::weak_ptr<WavReplayCapture*> weak = self;
    // Always from the main loop: a handler that quits the application must find its loop running.
    loop.post([weak] {
        if (auto capture = weak.lock(); capture && (*capture)->onFinished) (*capture)->onFinished();
    });
}

} // namespace knokle
