#pragma once

#include "controller/MicrophoneListening.h"
#include "controller/Settings.h"
#include "controller/TapPipeline.h"
#include "platform/AlertPresenter.h"
#include "platform/AudioCapture.h"
#include "platform/InputActivityMonitor.h"
#include "platform/SessionPrivacy.h"
#include "viewmodels/StatusMenu.h"

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace knokle {

using MicrophoneSourceFactory = std::function<std::pair<std::unique_ptr<TapSource>, AudioCapture*>()>;

// The microphone as the pipeline's tap source: putting it there, the menu's switch and choice of microphone, and
// the gate that opens it only while needed. Runs on the main loop.
class MicrophoneTaps {
public:
    // The pipeline is only used after construction (it may be built after this object, which must outlive it).
    MicrophoneTaps(Settings& settings, AlertPresenter& alerts, SessionPrivacy* privacy, TapPipeline& pipeline,
                   MicrophoneSourceFactory factory, InputActivityMonitor* activity);
    ~MicrophoneTaps();
    MicrophoneTaps(const MicrophoneTaps&) = delete;
    MicrophoneTaps& operator=(const MicrophoneTaps&) = delete;

    bool canListen() const { return static_cast<bool>(factory); }
    bool attached() const { return listening.attached(); }
    // Whether the stored choices make the microphone the source.
    bool chosen(bool accelerometerPresent) const;
    // Puts a new microphone source in the pipeline; false when none could be made.
    bool use();
    // The menu's switch; true when the microphone became the source.
    bool toggle(bool accelerometerPresent);
    // Another microphone (empty: the default one): the stream reopens on it.
    void choose(const std::string& name);
    // Opens or closes the stream for the program's state.
    void follow(bool tapsActive, bool testTapsOpen);
    // Asks for the microphones there are now; the menu changes when the answer differs.
    void refreshSources();

    std::string note() const { return listening.menuNote(); }
    void describe(MenuInputs& inputs, bool sensorMissing) const;

    // Something the menu shows changed.
    std::function<void()> onChanged;

private:
    Settings& settings;
    TapPipeline& pipeline;
    MicrophoneSourceFactory factory;
    MicrophoneListening listening;
    AudioCapture* capture = nullptr; // owned by the source in the pipeline
    std::vector<AudioSource> sources;
    bool listingAsked = false;
    std::shared_ptr<bool> alive = std::make_shared<bool>(true);
};

} // namespace knokle
