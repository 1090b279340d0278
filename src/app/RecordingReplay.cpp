#include "app/RecordingReplay.h"

#include "sensing/ReplaySource.h"
#include "sensing/SoundTapSource.h"
#include "sensing/WavFile.h"
#include "sensing/WavReplayCapture.h"

namespace knokle {

RecordingReplay::RecordingReplay(MainLoop& loop, const std::filesystem::path& file, double speed)
    : time(loop, speed) {
    auto follow = [this](auto& source) {
        source.onRecordingTime = [this](double seconds) { time.reach(seconds); };
        source.onFinished = [this] { time.release(); };
    };
    // The recordings play on the real loop at their speed; only the taps' side sees the recording's time.
    if (WavFile::looksLikeWav(file)) {
        auto capture = std::make_unique<WavReplayCapture>(loop, file, speed);
        sound = capture.get();
        follow(*capture);
        soundReplay = std::make_shared<std::unique_ptr<WavReplayCapture>>(std::move(capture));
    } else {
        reportReplay = std::make_unique<ReplaySource>(loop, file, speed);
        follow(*reportReplay);
    }
}

RecordingReplay::~RecordingReplay() = default;

HidManagerFactory RecordingReplay::managers() {
    return reportReplay ? reportReplay->managerFactory() : HidManagerFactory();
}

std::function<double()> RecordingReplay::sampleClock() {
    if (!reportReplay) return {};
    return [source = reportReplay.get()] { return source->currentReportTime(); };
}

TapSourceFactory RecordingReplay::soundSource() {
    if (!soundReplay) return {};
    // The delegate asks once, at its construction.
    return [held = soundReplay, &loop = time] {
        return std::unique_ptr<TapSource>(std::make_unique<SoundTapSource>(loop, std::move(*held)));
    };
}

bool RecordingReplay::endedOnError() const {
    return reportReplay ? reportReplay->endedOnError() : sound->endedOnError();
}

void RecordingReplay::onFinished(std::function<void()> then) {
    auto released = [this, then = std::move(then)] {
        time.release();
        then();
    };
    if (reportReplay) reportReplay->onFinished = released;
    if (sound) sound->onFinished = released;
}

} // namespace knokle
