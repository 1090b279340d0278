#pragma once

#include "platform/AudioCapture.h"
#include "platform/MainLoop.h"
#include "sensing/SoundTapDetector.h"
#include "sensing/TapSource.h"

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace knokle {

// The microphone: captured sound judged by the sound tap detector. The capture is open only between start() and
// stop(), so the desktop's microphone indicator means that taps are being listened for.
// A live capture hands its fragments over on its own thread, and the detector judges them there: waking the main
// loop for every fragment cost more than the judging. Only what the detector concluded reaches the main loop, and
// nothing judged before stop() arrives after it.
class SoundTapSource final : public TapSource {
public:
    SoundTapSource(MainLoop& loop, std::unique_ptr<AudioCapture> capture, std::string sourceName = {});
    ~SoundTapSource() override;

    std::string name() const override { return "microphone"; }
    void start() override;
    void stop() override;
    void reset() override;
    void setLevel(int level) override;
    int level() const override;
    double levelThreshold() const override;
    void setSequenceActive(bool active) override;
    void noteInputActivity(double time) override;

    // Only while nothing is being captured (tests, replays on the main loop).
    SoundTapDetector& soundDetector() { return detector; }

private:
    struct Heard {
        bool impact = false; // else a peak for the meter
        double strength = 0, force = 0, time = 0;
    };

    void ingest(const float* frames, std::size_t count, AudioFormat format, double time);
    void deliver(const std::vector<Heard>& heard);

    MainLoop& loop;
    const std::thread::id mainThread = std::this_thread::get_id();
    std::unique_ptr<AudioCapture> capture;
    std::string sourceName;
    mutable std::mutex judging; // the detector, `heard` and `session`
    SoundTapDetector detector;
    std::vector<Heard> heard;
    // Shared with what is posted, so a verdict on its way can tell whether its session (and this source) remain.
    std::shared_ptr<unsigned> session = std::make_shared<unsigned>(0);
};

} // namespace knokle
