#pragma once

#include "common/SampleClock.h"
#include "platform/AudioCapture.h"
#include "platform/MainLoop.h"
#include "sensing/WavFile.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace knokle {

// Plays a WAV file as if a microphone captured it: 20 ms blocks on the main loop at the file's pace (scaled by
// speed; 0 delivers as fast as the loop allows), each stamped with its place on the file's timeline.
class WavReplayCapture final : public AudioCapture {
public:
    WavReplayCapture(
        MainLoop& loop, std::filesystem::path file, double speed = 1.0,
        std::function<double()> sampleTime = [] { return sampleClockNow(); });
    ~WavReplayCapture() override;

    void open(const std::string& sourceName) override;
    void close() override;
    bool isOpen() const override { return opened; }

    bool finished() const { return done; }
    // The file could not be read to its end.
    bool endedOnError() const { return failed; }
    // After the last block, or after an error ended the replay.
    std::function<void()> onFinished;
    // Just before a block goes out, with the file's time at its end (seconds): when it was "captured".
    std::function<void(double seconds)> onRecordingTime;

private:
    void deliverDue();
    void finish();

    MainLoop& loop;
    std::filesystem::path file;
    double speed;
    std::function<double()> sampleTime;
    WavFile wav;
    std::vector<float> block;
    bool opened = false, done = false, failed = false;
    std::uint64_t framesDelivered = 0;
    double startSampleTime = 0;
    MonotonicTime startMonotonic;
    TimerHandle timer;
    std::shared_ptr<WavReplayCapture*> self;
};

} // namespace knokle
