#pragma once

#include "platform/AudioCapture.h"
#include "sensing/SoundTapDetector.h"
#include "sensing/TapSource.h"

#include <memory>
#include <string>

namespace knokle {

// The microphone: captured sound judged by the sound tap detector. The capture is open only between start() and
// stop(), so the desktop's microphone indicator means that taps are being listened for.
class SoundTapSource final : public TapSource {
public:
    explicit SoundTapSource(std::unique_ptr<AudioCapture> capture, std::string sourceName = {});

    std::string name() const override { return "microphone"; }
    void start() override;
    void stop() override;
    void reset() override;
    void setLevel(int level) override;
    int level() const override;
    double levelThreshold() const override;
    void setSequenceActive(bool active) override;

    void noteInputActivity(double time) override { detector.noteInputActivity(time); }
    SoundTapDetector& soundDetector() { return detector; }
    AudioCapture& audioCapture() { return *capture; }

private:
    std::unique_ptr<AudioCapture> capture;
    std::string sourceName;
    SoundTapDetector detector;
};

} // namespace knokle
