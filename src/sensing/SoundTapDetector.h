#pragma once

#include "sensing/Firmness.h"

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

namespace knokle {

class EventLog;

// A second-order IIR section (direct form I), the cheap band filter of the detector.
struct Biquad {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
    double x1 = 0, x2 = 0, y1 = 0, y2 = 0;

    static Biquad lowPass(double cutoff, double rate);
    static Biquad highPass(double cutoff, double rate);

    double step(double x) {
        double y = b0 * x + b1 * x1 + b2 * x2 - a1 * y1 - a2 * y2;
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = y;
        return y;
    }
};

// Turns microphone sound into impacts: short, low-heavy knocks on the chassis that reach the built-in
// microphones and die away within tens of milliseconds. Bright key and button clicks, speech and ringing music
// are told apart by their spectral balance, rise, decay and rhythm. Only filter states and a few numbers per
// event are kept: no sound is stored.
class SoundTapDetector {
public:
    // How a candidate was judged, in the order the rules are tried.
    enum class Verdict {
        rejectSustained,
        rejectRinging,
        rejectSlowRise,
        rejectBright,
        rejectKeystroke,
        rejectChannels,
        rejectInput,
        rejectBusy,
        underThreshold,
        accept
    };
    static const char* verdictName(Verdict verdict);

    // The one place where sound levels meet the accelerometer's scale: a peak `lightTapDb` above the background's
    // RMS level is a light tap (the Light threshold, 0.052 g), and every `dbPerDecade` dB more multiplies the
    // strength by ten. So Heavy (0.12 g) is a peak about 30.5 dB over the background and 40 dB reads 0.21 g,
    // the span of a firm knock on the accelerometer.
    static constexpr double lightTapDb = 16;
    static constexpr double dbPerDecade = 40;
    static double strengthForDb(double db);
    static double dbForStrength(double strength);

    static constexpr double hopSeconds = 0.001;
    static constexpr double onsetDb = 9;        // a hop this far over the floor opens a candidate
    static constexpr double releaseDb = 6;      // a sustained sound this close to it has stopped
    static constexpr double backDb = 3;         // a candidate this close to its floor has died away
    static constexpr double fallenDb = 12;      // ...as has one within releaseDb that fell this far from its top
    static constexpr double maxRise = 0.015;    // s from the onset to the loudest hop
    static constexpr double maxDecay = 0.08;    // s from the loudest hop back to the floor
    // dB/s the smoothed level loses from its top back to the floor. The slowest knock loses 18 dB in 60 ms (300);
    // a struck or plucked note ringing with a time constant of a tenth of a second or more loses under 90.
    static constexpr double minDecayRate = 150;
    static constexpr double minLowShare = 0.8;  // of the energy below 1.5 kHz, against 2.5-8 kHz
    static constexpr double typingLowShare = 0.85;
    static constexpr double keystrokeGap = 0.15; // s: a release follows its key press within this
    static constexpr double inputWindow = 0.12;  // s around a key or button event
    static constexpr double maxChannelDb = 12;   // level difference between channels
    static constexpr double maxChannelLag = 0.004;
    static constexpr double busyDb = 24; // least peak over the floor after recent rejected sounds

    SoundTapDetector();

    int level = 2;
    std::function<void(double force)> onImpact;
    std::function<void(double strength)> onAcceptedPeak;
    bool sequenceActive = false;
    double lastAcceptedStrength = 0;

    // Interleaved frames; `time` is the monotonic time of the first one. A change of rate or channel count
    // starts afresh.
    void ingest(const float* frames, std::size_t frameCount, int channels, double sampleRate, double time);
    // A keystroke or button event at this monotonic time: sounds around it are the input device's.
    void noteInputActivity(double time);
    void reset();
    double levelThreshold() const;
    double activeThreshold() const;

    bool inCandidate() const { return state == State::candidate; }
    std::optional<Verdict> lastVerdict() const { return verdict; }
    // Monotonic time at which the last verdict was reached (the hop that closed the candidate).
    double lastVerdictTime() const { return verdictAt; }
    // The background level, as a power relative to full scale.
    double floorPower() const { return floor; }

    void setEventLog(EventLog& log) { eventLog = &log; }

private:
    enum class State { quiet, candidate, sustained };
    struct Candidate {
        double onset = 0, peakAt = 0, peakPower = 0, floorAtOnset = 0;
        double low = 0, high = 0;
        double smoothPeak = -1e9, smoothPeakAt = 0, smoothAtEnd = 0; // the 12-hop mean level
        std::array<double, 8> channelPeak{}, channelFloor{}, channelOnset{};
    };

    void configure(int channels, double sampleRate);
    void endHop(double t);
    void clearHop();
    void open(double t, double power);
    void close(double t, bool sustained);
    Verdict judge(double rise, double decayRate, double lowShare, double channelDb, double channelLag,
                  int burst) const;
    void log(Verdict judged, double db, double rise, double decay, double decayRate, double lowShare,
             double channelDb, double channelLag, int burst);
    int recentRejects(double t) const;

    EventLog* eventLog;
    int channels = 0;
    double rate = 0;
    int hopLength = 1;
    int hopFill = 0;
    Biquad dcBlock[8];
    Biquad lowBand, highBandHp[2], highBandLp;
    static constexpr std::size_t kSmoothingHops = 12;
    double smoothingSeconds() const { return kSmoothingHops * hopLength / rate; }
    std::array<double, kSmoothingHops> recentPowers{};
    std::array<std::array<double, 8>, kSmoothingHops> recentChannelPowers{};
    std::size_t recentIndex = 0;
    std::size_t warmUpHops = 0;
    double hopPower = 0, hopLow = 0, hopHigh = 0;
    bool hopSounding = false; // any sample not exactly zero
    std::array<double, 8> hopChannelPower{}, hopChannelPeak{}, channelFloor{};
    double floor = 0;
    double roomFloor = 0;
    bool floorReady = false;
    double floorUp = 0, floorDown = 0, floorHeld = 0;
    State state = State::quiet;
    Candidate candidate;
    std::vector<double> inputTimes;   // the last few, oldest first
    std::vector<double> rejectTimes;  // onsets of recent rejected candidates
    double lastOnset = -1e9;
    std::optional<Verdict> verdict;
    double verdictAt = 0;
};

} // namespace knokle
