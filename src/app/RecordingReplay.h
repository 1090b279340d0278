#pragma once

#include "platform/HidManager.h"
#include "sensing/RecordingTimeLoop.h"
#include "sensing/TapSource.h"

#include <filesystem>
#include <functional>
#include <memory>

namespace knokle {

class ReplaySource;
class WavReplayCapture;

// `--replay FILE` in place of the sensor: a report recording plays through the HID interfaces, a WAV file through
// the microphone's detector. The taps' windows and cooldowns run on the recording's time (`tapLoop`), so that a
// replay at any speed, however busy the machine, groups its taps into the same gestures.
class RecordingReplay {
public:
    RecordingReplay(MainLoop& loop, const std::filesystem::path& file, double speed);
    ~RecordingReplay();
    RecordingReplay(const RecordingReplay&) = delete;
    RecordingReplay& operator=(const RecordingReplay&) = delete;

    MainLoop& tapLoop() { return time; }
    // A report recording: its device, and the clock that stamps samples with their recorded times.
    ReplaySource* reports() { return reportReplay.get(); }
    HidManagerFactory managers();
    std::function<double()> sampleClock();
    // A WAV file: the sound source, handed over once.
    TapSourceFactory soundSource();

    bool endedOnError() const;
    // After the last report or block, once the recording's time runs on.
    void onFinished(std::function<void()> then);

private:
    RecordingTimeLoop time;
    std::unique_ptr<ReplaySource> reportReplay;
    std::shared_ptr<std::unique_ptr<WavReplayCapture>> soundReplay; // empty once the pipeline took it
    WavReplayCapture* sound = nullptr;                             // owned by the pipeline's sound source
};

} // namespace knokle
