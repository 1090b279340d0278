#pragma once

#include "platform/AlertPresenter.h"
#include "platform/AudioCapture.h"
#include "platform/InputActivityMonitor.h"
#include "platform/SessionPrivacy.h"
#include "controller/Settings.h"
#include "sensing/TapSource.h"

#include <functional>
#include <memory>
#include <string>

namespace knokle {

enum class TapSourceKind { accelerometer, microphone, none };

// What the accelerometer found is good for: one that delivers under 50 samples a second (or an AMD sensor hub)
// is there but too slow for taps.
enum class AccelerometerFit { absent, tooSlow, usable };

// Which source listens for taps, from the setting, the accelerometer found and whether the user turned listening
// on. The microphone is never chosen unless the user turned it on; `auto` prefers it to a too slow accelerometer.
TapSourceKind chooseTapSource(TapSourceChoice choice, AccelerometerFit accelerometer, bool microphoneEnabled);
inline TapSourceKind chooseTapSource(TapSourceChoice choice, bool accelerometerPresent, bool microphoneEnabled) {
    return chooseTapSource(choice, accelerometerPresent ? AccelerometerFit::usable : AccelerometerFit::absent,
                           microphoneEnabled);
}

// Everything that decides whether the microphone is open at this moment.
struct ListeningConditions {
    bool enabled = false;         // the user turned listening on
    bool privacyDisabled = false; // the desktop's privacy switch forbids the microphone
    bool locked = false;          // the session is locked
    bool tapsActive = false;
    bool testTapsOpen = false;
};
bool shouldListen(const ListeningConditions& conditions);

// The texts users see: the explanation before listening starts, the refusal, the menu's note and the log line.
Alert listeningExplanation();
Alert microphoneRefused();
std::string microphoneMenuNote(const ListeningConditions& conditions, AudioCapture::State state,
                               const std::string& sourceName);
std::string microphoneStateLine(AudioCapture::State state, const std::string& reason, const std::string& sourceName);

// Opens the microphone only while it is needed (taps armed, or Test Taps open) and allowed (turned on, not
// forbidden by the desktop, session not locked); closing the source closes the stream, so the desktop's microphone
// indicator means that Knokle is listening. Runs on the main loop.
class MicrophoneListening {
public:
    MicrophoneListening(Settings& settings, AlertPresenter& alerts, SessionPrivacy* privacy);
    ~MicrophoneListening();
    MicrophoneListening(const MicrophoneListening&) = delete;
    MicrophoneListening& operator=(const MicrophoneListening&) = delete;

    // Puts the microphone source (and the capture under it) behind this gate: the source handed back starts and
    // stops with the pipeline, but opens the microphone only while listening is needed and allowed.
    std::unique_ptr<TapSource> gate(std::unique_ptr<TapSource> microphone, AudioCapture* capture);
    bool attached() const { return source != nullptr; }
    // Opens or closes the microphone for the program's state.
    void update(bool tapsActive, bool testTapsOpen);

    // The menu's switch and the no-sensor alert's offer: explains first, and refuses when the desktop forbids
    // the microphone. True when listening is on afterwards.
    bool turnOn();
    void turnOff();

    ListeningConditions conditions() const;
    std::string menuNote() const;
    bool listening() const { return open; }
    // Key and button presses reach the microphone's detector while it listens, and only then.
    void watchInputActivity(InputActivityMonitor* monitor) { activity = monitor; }

    // Something the menu or the Test Taps window shows changed.
    std::function<void()> onChanged;

private:
    class GatedSource;
    void stateChanged(AudioCapture::State state, const std::string& reason);
    void apply();
    void followInputActivity();

    Settings& settings;
    AlertPresenter& alerts;
    SessionPrivacy* privacy;
    InputActivityMonitor* activity = nullptr;
    bool watchingActivity = false;
    bool activityMissingSaid = false;
    TapSource* source = nullptr; // the microphone source, owned by the gate the pipeline holds
    bool running = false;        // the pipeline started the gate
    bool tapsActive = false;
    bool testTapsOpen = false;
    bool open = false;
    AudioCapture::State state = AudioCapture::State::stopped;
};

} // namespace knokle
