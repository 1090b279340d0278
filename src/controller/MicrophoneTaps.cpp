#include "controller/MicrophoneTaps.h"

#include "common/DiagnosticOutput.h"

namespace knokle {

namespace {

bool sameSources(const std::vector<AudioSource>& a, const std::vector<AudioSource>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i].name != b[i].name || a[i].description != b[i].description || a[i].isMonitor != b[i].isMonitor)
            return false;
    return true;
}

} // namespace

MicrophoneTaps::MicrophoneTaps(Settings& settings, AlertPresenter& alerts, SessionPrivacy* privacy,
                               TapPipeline& pipeline, MicrophoneSourceFactory factory, InputActivityMonitor* activity)
    : settings(settings), pipeline(pipeline), factory(std::move(factory)), listening(settings, alerts, privacy) {
    listening.watchInputActivity(activity);
    listening.onChanged = [this] {
        if (onChanged) onChanged();
    };
}

MicrophoneTaps::~MicrophoneTaps() {
    *alive = false;
}

bool MicrophoneTaps::chosen(bool accelerometerPresent) const {
    return factory && chooseTapSource(settings.tapSource(), accelerometerPresent, settings.microphoneEnabled()) ==
                          TapSourceKind::microphone;
}

bool MicrophoneTaps::use() {
    if (!factory) return false;
    auto [source, made] = factory();
    if (!source) return false;
    capture = made;
    listingAsked = false; // the old capture's answer, if one still comes, is as good as any
    pipeline.replaceSource(listening.gate(std::move(source), made));
    refreshSources();
    return true;
}

bool MicrophoneTaps::toggle(bool accelerometerPresent) {
    if (settings.microphoneEnabled()) {
        listening.turnOff();
        return false;
    }
    return listening.turnOn() && !attached() && chosen(accelerometerPresent) && use();
}

void MicrophoneTaps::choose(const std::string& name) {
    if (name == settings.microphoneSource()) return;
    settings.setMicrophoneSource(name);
    printLine("[microphone] switching to " + (name.empty() ? std::string("the default microphone") : name));
    // A new source, opened on the new microphone if listening is wanted; the old stream closes with its source.
    if (attached()) use();
    if (onChanged) onChanged();
}

void MicrophoneTaps::follow(bool tapsActive, bool testTapsOpen) {
    listening.update(tapsActive, testTapsOpen);
}

void MicrophoneTaps::refreshSources() {
    // One question at a time; the answer comes back on the main loop from the capture's own thread.
    if (!capture || listingAsked || !settings.microphoneEnabled()) return;
    listingAsked = true;
    capture->listSources([this, token = std::weak_ptr<bool>(alive)](std::vector<AudioSource> found) {
        auto held = token.lock();
        if (!held || !*held) return;
        listingAsked = false;
        if (sameSources(found, sources)) return;
        sources = std::move(found);
        if (onChanged) onChanged();
    });
}

void MicrophoneTaps::describe(MenuInputs& in, bool sensorMissing) const {
    // Where an accelerometer listens and the user did not ask for the microphone, there is nothing to offer.
    in.microphoneOffered =
        factory && (sensorMissing || attached() || settings.tapSource() == TapSourceChoice::microphone);
    in.microphoneEnabled = settings.microphoneEnabled();
    if (!attached()) return;
    in.microphoneNote = note();
    in.microphones = sources;
    in.microphoneSource = settings.microphoneSource();
}

} // namespace knokle
