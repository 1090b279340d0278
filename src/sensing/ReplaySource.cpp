#include "sensing/ReplaySource.h"

#include "common/DiagnosticOutput.h"
#include "common/TextFormat.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>

namespace knokle {
namespace {

// Reports delivered in one turn of the main loop at most, so that a fast replay never starves it.
constexpr std::size_t kBatchSize = 256;
// Reports due within one tick of each other are delivered together.
constexpr double kDeliveryTickSeconds = 0.004;

// 0 when the recording opened into `in`, otherwise the errno that kept it from opening.
int openRecording(const std::filesystem::path& file, std::ifstream& in) {
    std::error_code ec;
    std::filesystem::file_status status = std::filesystem::status(file, ec);
    if (ec) return ec.value();
    // A folder opens like a file, but every read fails.
    if (std::filesystem::is_directory(status)) return EISDIR;
    errno = 0;
    in.open(file);
    return in ? 0 : errno ? errno : EACCES;
}

} // namespace

std::optional<std::string> ReplaySource::unreadableReason(const std::filesystem::path& file) {
    std::ifstream in;
    int error = openRecording(file, in);
    if (error == 0) return std::nullopt;
    return file.string() + ": cannot open: " + std::strerror(error);
}

class ReplayDevice final : public HidDevice, public std::enable_shared_from_this<ReplayDevice> {
public:
    ReplayDevice(MainLoop& loop, std::filesystem::path file, double speed, std::function<double()> sampleTime)
        : loop(loop), file(std::move(file)), speed(speed), sampleTime(std::move(sampleTime)) {}

    // Opens the recording once; 0 when it could be opened, otherwise the errno.
    int load() {
        if (loaded) return loadStatus;
        loaded = true;
        loadStatus = openRecording(file, in);
        if (loadStatus != 0) {
            printLine("[replay] " + file.string() + ": cannot open: " + std::strerror(loadStatus));
            finish();
            return loadStatus;
        }
        reader.emplace(in, file.string());
        return 0;
    }

    std::optional<std::string> property(const std::string& key) const override {
        if (key == "Product") return "Recording " + file.filename().string();
        if (key == "Transport") return std::string("Replay");
        return std::nullopt;
    }
    int open() override { return load(); }
    void setInputReportHandler(std::uint8_t* buffer, std::size_t length, InputReportHandler handler) override {
        this->buffer = buffer;
        bufferLength = length;
        this->handler = std::move(handler);
    }
    void scheduleWithMainLoop() override {
        if (scheduled || load() != 0) return;
        scheduled = true;
        startSampleTime = sampleTime();
        startMonotonic = loop.now();
        havePending = reader->next(pending);
        scheduleNext();
    }

    void detach() {
        finished = [] {};
        reached = nullptr;
        timer.cancel();
        stopped = true;
    }

    // Samples keep the recording's timing whatever the speed or the main loop's jitter.
    std::optional<double> currentReportTime() const override { return reportTime(); }
    double reportTime() const { return scheduled ? startSampleTime + currentOffset : sampleTime(); }

    MainLoop& loop;
    std::filesystem::path file;
    double speed;
    std::function<double()> sampleTime;
    std::function<void()> finished;
    std::function<void(double)> reached;
    bool done = false;
    bool endedOnError = false;

private:
    // Always from the main loop, never from inside the caller's start sequence: a handler that quits the
    // application must find its loop running.
    void finish() {
        if (done) return;
        done = true;
        std::weak_ptr<ReplayDevice> weak = weak_from_this();
        loop.post([weak] {
            if (auto self = weak.lock(); self && self->finished) self->finished();
        });
    }

    MonotonicTime dueTime(double offset) const {
        // A very slow replay must not overflow the clock's range.
        double seconds = std::min(offset / speed, 1e9);
        return startMonotonic + toSteady(Seconds(seconds));
    }

    void scheduleNext() {
        if (stopped) return;
        std::weak_ptr<ReplayDevice> weak = weak_from_this();
        auto resume = [weak] {
            if (auto self = weak.lock()) self->deliverDue();
        };
        if (!havePending || speed == 0) {
            loop.post(resume);
        } else {
            // Waking once per report of a 1 kHz recording costs more than handling the reports: those due
            // within one tick go out together, still stamped with their recorded times.
            MonotonicTime now = loop.now();
            MonotonicTime due = dueTime(pending.offset);
            MonotonicTime wake = due <= now ? now : std::max(due, now + toSteady(Seconds(kDeliveryTickSeconds)));
            timer = loop.after(std::chrono::duration_cast<Seconds>(wake - now), resume);
        }
    }

    // Delivers every report that is due (at most one batch), reading the recording only as far as that,
    // then waits for the next one.
    void deliverDue() {
        if (stopped) return;
        std::size_t batch = 0;
        while (havePending && batch < kBatchSize) {
            if (speed != 0 && dueTime(pending.offset) > loop.now()) break;
            deliver(pending);
            ++batch;
            if (stopped) return; // the callback may have ended the replay
            havePending = reader->next(pending);
        }
        if (havePending) {
            scheduleNext();
            return;
        }
        if (reader->error()) {
            printLine("[replay] " + *reader->error());
            endedOnError = true;
        }
        finish();
    }

    void deliver(const RecordedReport& report) {
        currentOffset = report.offset;
        if (reached) reached(report.offset);
        if (!handler || !buffer) return;
        std::size_t length = std::min(report.bytes.size(), bufferLength);
        std::copy_n(report.bytes.begin(), length, buffer);
        handler(buffer, static_cast<long>(length));
    }

    bool loaded = false;
    int loadStatus = 0;
    std::ifstream in;
    std::optional<RecordingReader> reader;
    RecordedReport pending;
    bool havePending = false;
    bool scheduled = false;
    bool stopped = false;
    double startSampleTime = 0;
    double currentOffset = 0;
    MonotonicTime startMonotonic;
    TimerHandle timer;
    std::uint8_t* buffer = nullptr;
    std::size_t bufferLength = 0;
    InputReportHandler handler;
};

namespace {

class ReplayManager final : public HidManager {
public:
    explicit ReplayManager(std::shared_ptr<ReplayDevice> device) : device(std::move(device)) {}
    void setDeviceMatching(const HidDeviceMatching&) override {}
    void scheduleWithMainLoop() override {}
    int open() override { return device->load(); }
    std::optional<std::vector<std::shared_ptr<HidDevice>>> matchedDevices() override {
        if (device->load() != 0) return std::vector<std::shared_ptr<HidDevice>>{};
        return std::vector<std::shared_ptr<HidDevice>>{device};
    }

private:
    std::shared_ptr<ReplayDevice> device;
};

double validSpeed(double speed) {
    if (std::isfinite(speed) && speed >= 0) return speed;
    printLine("[replay] Speed " + shortestDecimal(speed) + " is not a number of zero or more; using 1.");
    return 1.0;
}

} // namespace

ReplaySource::ReplaySource(MainLoop& loop, std::filesystem::path file, double speed, std::function<double()> sampleTime)
    : device(std::make_shared<ReplayDevice>(loop, std::move(file), validSpeed(speed), std::move(sampleTime))) {
    device->finished = [this] {
        if (onFinished) onFinished();
    };
    device->reached = [this](double offset) {
        if (onRecordingTime) onRecordingTime(offset);
    };
}

ReplaySource::~ReplaySource() {
    device->detach();
}

HidManagerFactory ReplaySource::managerFactory() {
    std::shared_ptr<ReplayDevice> shared = device;
    return [shared] { return std::make_unique<ReplayManager>(shared); };
}

double ReplaySource::currentReportTime() const {
    return device->reportTime();
}
bool ReplaySource::endedOnError() const {
    return device->endedOnError;
}
bool ReplaySource::finished() const {
    return device->done;
}

} // namespace knokle
