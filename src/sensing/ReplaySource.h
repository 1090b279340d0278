#pragma once

#include "common/SampleClock.h"
#include "platform/HidManager.h"
#include "platform/MainLoop.h"
#include "sensing/ReportRecording.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace knokle {

class ReplayDevice;

// Plays a report recording through the HID interfaces, so that the sensor runs its usual start sequence
// against one matched device (transport "Replay") and receives each report at its recorded offset.
// Playback begins when the device is scheduled with the main loop.
class ReplaySource {
public:
    // speed scales delivery (2 = twice as fast); 0 delivers as fast as the main loop allows.
    ReplaySource(
        MainLoop& loop, std::filesystem::path file, double speed = 1.0,
        std::function<double()> sampleTime = [] { return sampleClockNow(); });
    ~ReplaySource();
    ReplaySource(const ReplaySource&) = delete;
    ReplaySource& operator=(const ReplaySource&) = delete;

    // Why the file cannot be played ("<file>: cannot open: <reason>"), or nothing when it can be opened and read.
    // A malformed line is found only when the replay reaches it.
    static std::optional<std::string> unreadableReason(const std::filesystem::path& file);

    // Makes managers whose one matched device is this recording.
    HidManagerFactory managerFactory();

    // The timestamp of the report being delivered: the playback's start on the sample clock plus the report's
    // recorded offset. Samples stamped with it keep the recording's timing whatever the speed or jitter.
    double currentReportTime() const;
    bool finished() const;
    // The replay stopped at a line it could not read, before the end of the recording.
    bool endedOnError() const;

    // After the last report, or after an error ended the replay.
    std::function<void()> onFinished;
    // Just before a report goes out, with its offset in the recording (seconds).
    std::function<void(double offset)> onRecordingTime;

private:
    std::shared_ptr<ReplayDevice> device;
};

} // namespace knokle
