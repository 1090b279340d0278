#pragma once

#include "common/SampleClock.h"
#include "platform/HidManager.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>

namespace knokle {

// Writes the raw reports of a live source as a report recording, each with its time since the recorder
// was made on the sample clock. Every line is flushed at once, so an interrupted session keeps what it recorded.
class ReportRecorder {
public:
    explicit ReportRecorder(
        std::filesystem::path file, std::function<double()> sampleTime = [] { return sampleClockNow(); });
    ReportRecorder(const ReportRecorder&) = delete;
    ReportRecorder& operator=(const ReportRecorder&) = delete;

    bool isOpen() const { return !failed; }
    // readTime: when the device read the report, if it knows; otherwise now.
    void record(const std::uint8_t* report, long length, std::optional<double> readTime = std::nullopt);
    std::size_t recordedCount() const { return count; }

private:
    void reportFailure(const char* what);

    std::filesystem::path file;
    std::function<double()> sampleTime;
    double start;
    std::ofstream out;
    bool failed = false;
    std::size_t count = 0;
};

// Managers made by `inner` whose devices hand every report to the recorder before passing it on.
HidManagerFactory recordingManagerFactory(HidManagerFactory inner, std::shared_ptr<ReportRecorder> recorder);

} // namespace knokle
