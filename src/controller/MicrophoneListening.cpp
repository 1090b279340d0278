#include "controller/MicrophoneListening.h"

#include "common/DiagnosticOutput.h"
#include "sensing/EventLog.h"

namespace knokle {

TapSourceKind chooseTapSource(TapSourceChoice choice, AccelerometerFit accelerometer, bool microphoneEnabled) {
    bool present = accelerometer != AccelerometerFit::absent;
    switch (choice) {
    case TapSourceChoice::accelerometer: return present ? TapSourceKind::accelerometer : TapSourceKind::none;
    case TapSourceChoice::microphone: return microphoneEnabled ? TapSourceKind::microphone : TapSourceKind::none;
    case TapSourceChoice::automatic: break;
    }
    if (accelerometer == AccelerometerFit::usable) return TapSourceKind::accelerometer;
    if (microphoneEnabled) return TapSourceKind::microphone;
    // A slow one still says what it is and how to make it faster.
    return present ? TapSourceKind::accelerometer : TapSourceKind::none;
}

bool shouldListen(const ListeningConditions& c) {
    return c.enabled && !c.privacyDisabled && !c.locked && (c.tapsActive || c.testTapsOpen);
}

Alert listeningExplanation() {
    Alert alert;
    alert.style = AlertStyle::informational;
    alert.messageText = "Listen for taps with the microphone?";
    alert.informativeText =
        "Knokle will hear taps on the computer's case through its microphone. The sound is analysed in memory for "
        "taps; nothing is recorded, kept or sent. The desktop's microphone indicator stays on while Knokle "
        "listens: while taps are armed, or the Test Taps window is open. Pausing taps stops listening.";
    alert.buttons = {"Listen", "Cancel"};
    return alert;
}

Alert microphoneRefused() {
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "The microphone is turned off";
    alert.informativeText = "The desktop's privacy settings turn the microphone off for all programs, so Knokle does "
                            "not listen. Turn it on in Settings › Privacy › Microphone to use taps.";
    alert.buttons = {"OK"};
    return alert;
}

namespace {

std::string named(const std::string& sourceName) {
    return sourceName.empty() ? "the default microphone" : sourceName;
}

} // namespace

std::string microphoneMenuNote(const ListeningConditions& c, AudioCapture::State state, const std::string& sourceName) {
    if (!c.enabled) return {};
    if (c.privacyDisabled) return "Microphone turned off in Privacy settings";
    if (c.locked) return "Not listening while the screen is locked";
    if (!shouldListen(c)) return "Not listening while taps are paused";
    switch (state) {
    case AudioCapture::State::listening: return "Listening to " + named(sourceName);
    case AudioCapture::State::muted: return "The microphone is muted";
    case AudioCapture::State::sourceGone: return "Microphone not found; still looking";
    case AudioCapture::State::serverMissing: return "No sound server; still trying";
    case AudioCapture::State::stopped: break;
    }
    return "Starting to listen";
}

std::string microphoneStateLine(AudioCapture::State state, const std::string& reason, const std::string& sourceName) {
    switch (state) {
    case AudioCapture::State::listening: return "[microphone] listening to " + named(sourceName);
    case AudioCapture::State::muted: return "[microphone] " + (reason.empty() ? "The microphone is muted" : reason);
    case AudioCapture::State::sourceGone:
    case AudioCapture::State::serverMissing:
        return "[microphone] " + (reason.empty() ? "Cannot listen" : reason) + "; trying again in the background";
    case AudioCapture::State::stopped: return "[microphone] stopped listening";
    }
    return {};
}

// Everything but starting and stopping goes straight to the microphone source.
class MicrophoneListening::GatedSource final : public TapSource {
public:
    GatedSource(MicrophoneListening& owner, std::unique_ptr<TapSource> inner) : owner(owner), inner(std::move(inner)) {
        this->inner->onImpact = [this](const Impact& impact) {
            if (onImpact) onImpact(impact);
        };
        this->inner->onAcceptedPeak = [this](double strength) {
            if (onAcceptedPeak) onAcceptedPeak(strength);
        };
        // A lost server or microphone is shown in the menu and retried; it is not a missing sensor.
    }
    ~GatedSource() override {
        if (owner.source == inner.get()) owner.source = nullptr;
    }
    std::string name() const override { return inner->name(); }
    void start() override {
        owner.running = true;
        owner.apply();
    }
    void stop() override {
        owner.running = false;
        owner.apply();
    }
    void reset() override { inner->reset(); }
    void setLevel(int level) override { inner->setLevel(level); }
    int level() const override { return inner->level(); }
    double levelThreshold() const override { return inner->levelThreshold(); }
    void setSequenceActive(bool active) override { inner->setSequenceActive(active); }

private:
    MicrophoneListening& owner;
    std::unique_ptr<TapSource> inner;
};

MicrophoneListening::MicrophoneListening(Settings& settings, AlertPresenter& alerts, SessionPrivacy* privacy)
    : settings(settings), alerts(alerts), privacy(privacy) {
    // Locking the screen or the privacy switch closes the stream at once; unlocking opens it again if needed.
    if (privacy)
        privacy->onChanged = [this] {
            apply();
            if (onChanged) onChanged();
        };
}

MicrophoneListening::~MicrophoneListening() {
    if (watchingActivity) activity->stop();
}

std::unique_ptr<TapSource> MicrophoneListening::gate(std::unique_ptr<TapSource> microphone, AudioCapture* capture) {
    source = microphone.get();
    running = open = false;
    followInputActivity();
    state = AudioCapture::State::stopped;
    if (capture) {
        // Whoever else follows the capture (the source itself) keeps hearing about it.
        auto previous = capture->onStateChanged;
        capture->onStateChanged = [this, previous](AudioCapture::State s, const std::string& reason) {
            if (previous) previous(s, reason);
            stateChanged(s, reason);
        };
    }
    return std::make_unique<GatedSource>(*this, std::move(microphone));
}

ListeningConditions MicrophoneListening::conditions() const {
    ListeningConditions c;
    c.enabled = settings.microphoneEnabled();
    c.privacyDisabled = privacy && privacy->microphoneDisabled();
    c.locked = privacy && privacy->sessionLocked();
    c.tapsActive = tapsActive;
    c.testTapsOpen = testTapsOpen;
    return c;
}

void MicrophoneListening::update(bool active, bool testing) {
    tapsActive = active;
    testTapsOpen = testing;
    apply();
}

void MicrophoneListening::apply() {
    if (!source) return;
    bool wanted = running && shouldListen(conditions());
    if (wanted == open) return;
    open = wanted;
    if (wanted) {
        source->reset();
        source->start();
    } else {
        source->stop();
    }
    followInputActivity();
    if (onChanged) onChanged();
}

void MicrophoneListening::followInputActivity() {
    if (!activity || open == watchingActivity) return;
    watchingActivity = open;
    if (!open) {
        activity->stop();
        return;
    }
    bool told = activity->start([this](double time) {
        if (source && open) source->noteInputActivity(time);
    });
    if (!told && !activityMissingSaid) {
        activityMissingSaid = true;
        EventLog::standard().append("[input] this session tells no key or button presses: typing is judged by its "
                                    "sound alone");
    }
}

bool MicrophoneListening::turnOn() {
    if (settings.microphoneEnabled()) return true;
    if (privacy && privacy->microphoneDisabled()) {
        printLine("[microphone] The desktop's privacy settings turn the microphone off; Knokle does not listen");
        alerts.runModal(microphoneRefused());
        return false;
    }
    if (alerts.runModal(listeningExplanation()) != 0) return false;
    settings.setMicrophoneEnabled(true);
    printLine("[microphone] listening turned on");
    apply();
    if (onChanged) onChanged();
    return true;
}

void MicrophoneListening::turnOff() {
    settings.setMicrophoneEnabled(false);
    printLine("[microphone] listening turned off");
    apply();
    if (onChanged) onChanged();
}

std::string MicrophoneListening::menuNote() const {
    return microphoneMenuNote(conditions(), state, settings.microphoneSource());
}

void MicrophoneListening::stateChanged(AudioCapture::State s, const std::string& reason) {
    if (s == state) return;
    state = s;
    printLine(microphoneStateLine(s, reason, settings.microphoneSource()));
    if (onChanged) onChanged();
}

} // namespace knokle
