#include "sensing/ReportRecorder.h"

#include "common/DiagnosticOutput.h"
#include "sensing/ReportRecording.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace knokle {

ReportRecorder::ReportRecorder(std::filesystem::path file, std::function<double()> sampleTime)
    : file(std::move(file)), sampleTime(std::move(sampleTime)), start(this->sampleTime()) {
    errno = 0;
    out.open(this->file, std::ios::out | std::ios::trunc);
    if (!out) {
        reportFailure("cannot open");
        return;
    }
    out << kRecordingHeader << '\n' << std::flush;
    if (!out) reportFailure("cannot write");
}

void ReportRecorder::reportFailure(const char* what) {
    failed = true;
    int error = errno;
    printLine("[recorder] " + file.string() + ": " + what + (error ? std::string(": ") + std::strerror(error) : ""));
}

void ReportRecorder::record(const std::uint8_t* report, long length, std::optional<double> readTime) {
    if (failed) return;
    // A report read just before the recorder was made still may not go back in time.
    double offset = std::max(0.0, (readTime ? *readTime : sampleTime()) - start);
    std::size_t size = report && length > 0 ? static_cast<std::size_t>(length) : 0;
    errno = 0;
    out << formatReportLine(offset, report, size) << '\n' << std::flush;
    if (!out) {
        reportFailure("cannot write");
        return;
    }
    ++count;
}

namespace {

class RecordingDevice final : public HidDevice {
public:
    RecordingDevice(std::shared_ptr<HidDevice> inner, std::shared_ptr<ReportRecorder> recorder)
        : inner(std::move(inner)), recorder(std::move(recorder)) {}

    std::optional<std::string> property(const std::string& key) const override { return inner->property(key); }
    int open() override { return inner->open(); }
    void setInputReportHandler(std::uint8_t* buffer, std::size_t length, InputReportHandler handler) override {
        // The recorder hears each report first. The inner device is held weakly: it holds this handler.
        inner->setInputReportHandler(
            buffer, length,
            [recorder = recorder, source = std::weak_ptr<HidDevice>(inner),
             handler = std::move(handler)](const std::uint8_t* report, long size) {
                auto device = source.lock();
                recorder->record(report, size, device ? device->currentReportTime() : std::nullopt);
                if (handler) handler(report, size);
            });
    }
    void scheduleWithMainLoop() override { inner->scheduleWithMainLoop(); }
    std::optional<double> currentReportTime() const override { return inner->currentReportTime(); }

private:
    std::shared_ptr<HidDevice> inner;
    std::shared_ptr<ReportRecorder> recorder;
};

class RecordingManager final : public HidManager {
public:
    RecordingManager(std::unique_ptr<HidManager> inner, std::shared_ptr<ReportRecorder> recorder)
        : inner(std::move(inner)), recorder(std::move(recorder)) {}

    void setDeviceMatching(const HidDeviceMatching& matching) override { inner->setDeviceMatching(matching); }
    void scheduleWithMainLoop() override { inner->scheduleWithMainLoop(); }
    int open() override { return inner->open(); }
    std::optional<std::vector<std::shared_ptr<HidDevice>>> matchedDevices() override {
        auto devices = inner->matchedDevices();
        if (!devices) return devices;
        // A null element (not a HID device) stays null.
        for (auto& device : *devices)
            if (device) device = std::make_shared<RecordingDevice>(device, recorder);
        return devices;
    }

private:
    std::unique_ptr<HidManager> inner;
    std::shared_ptr<ReportRecorder> recorder;
};

} // namespace

HidManagerFactory recordingManagerFactory(HidManagerFactory inner, std::shared_ptr<ReportRecorder> recorder) {
    return [inner = std::move(inner), recorder = std::move(recorder)]() -> std::unique_ptr<HidManager> {
        std::unique_ptr<HidManager> manager = inner ? inner() : nullptr;
        if (!manager) return nullptr;
        return std::make_unique<RecordingManager>(std::move(manager), recorder);
    };
}

} // namespace knokle
