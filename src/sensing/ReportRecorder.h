#pragma once

#include "platform/HidManager.h"
#include "platform/MainLoop.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>

namespace knokle {

// Writes the raw reports of a live source as a report recording, each with its time since the recorder
// was made. Every line is flushed at once, so an interrupted session keeps what it recorded.
class ReportRecorder {
public:
    ReportRecorder(std::filesystem::path file, const MainLoop& loop);
    ReportRecorder(const ReportRecorder&) = delete;
    ReportRecorder& operator=(const ReportRecorder&) = delete;

    bool isOpen() const { return !failed; }
    void record(const std::uint8_t* report, long length);
    std::size_t recordedCount() const { return count; }

private:
    void reportFailure(const char* what);

    std::filesystem::path file;
    const MainLoop& loop;
    MonotonicTime start;
    std::ofstream out;
    bool failed = false;
    std::size_t count = 0;
};

// Managers made by `inner` whose devices hand every report to the recorder before passing it on.
HidManagerFactory recordingManagerFactory(HidManagerFactory inner, std::shared_ptr<ReportRecorder> recorder);

} // namespace knokle
