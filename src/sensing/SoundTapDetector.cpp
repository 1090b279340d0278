#include "sensing/SoundTapDetector.h"

#include "sensing/EventLog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace knokle {

namespace {

constexpr std::size_t kMaxChannels = 8;  // more are mixed in but not compared
constexpr double kMinFloorDb = -80;      // digital silence must not make every blip a loud tap
constexpr double kFloorFallSeconds = 0.05;
constexpr double kFloorRiseSeconds = 0.6;
constexpr double kFloorHeldRiseSeconds = 1.5; // while a sustained sound holds the level up
constexpr double kBurstSeconds = 2.0;
constexpr int kBurstCount = 2;
constexpr std::size_t kInputTimesKept = 16;
constexpr double kRoomFloorRisePerSecond = 0.5; // dB
constexpr double kLiftedFloorDb = 3;             // a floor this far over the room's is a sound going on

template <typename Array> double mean(const Array& values) {
    double sum = 0;
    for (double v : values) sum += v;
    return sum / static_cast<double>(values.size());
}

double powerDb(double power) {
    return 10 * std::log10(std::max(power, 1e-20));
}

Biquad section(double cutoff, double rate, bool high) {
    // Butterworth, Q = 1/sqrt(2).
    double w = 2 * std::numbers::pi * std::min(cutoff, rate * 0.45) / rate;
    double alpha = std::sin(w) / std::sqrt(2.0);
    double cosw = std::cos(w);
    double a0 = 1 + alpha;
    Biquad q;
    q.b1 = (high ? -(1 + cosw) : (1 - cosw)) / a0;
    q.b0 = q.b2 = (high ? (1 + cosw) : (1 - cosw)) / 2 / a0;
    q.a1 = -2 * cosw / a0;
    q.a2 = (1 - alpha) / a0;
    return q;
}

} // namespace

Biquad Biquad::lowPass(double cutoff, double rate) {
    return section(cutoff, rate, false);
}

Biquad Biquad::highPass(double cutoff, double rate) {
    return section(cutoff, rate, true);
}

const char* SoundTapDetector::verdictName(Verdict verdict) {
    switch (verdict) {
    case Verdict::rejectSustained:
        return "REJECT sustained";
    case Verdict::rejectRinging:
        return "REJECT ringing";
    case Verdict::rejectSlowRise:
        return "REJECT slow-rise";
    case Verdict::rejectBright:
        return "REJECT bright";
    case Verdict::rejectKeystroke:
        return "REJECT keystroke";
    case Verdict::rejectChannels:
        return "REJECT channels";
    case Verdict::rejectInput:
        return "REJECT input";
    case Verdict::rejectBusy:
        return "REJECT busy";
    case Verdict::underThreshold:
        return "under-threshold";
    case Verdict::accept:
        return "ACCEPT";
    }
    return "";
}

double SoundTapDetector::strengthForDb(double db) {
    return kFirmnessLevels[0].threshold * std::pow(10.0, (db - lightTapDb) / dbPerDecade);
}

double SoundTapDetector::dbForStrength(double strength) {
    return lightTapDb + dbPerDecade * std::log10(std::max(strength, 1e-12) / kFirmnessLevels[0].threshold);
}

SoundTapDetector::SoundTapDetector() : eventLog(&EventLog::standard()) {}

double SoundTapDetector::levelThreshold() const {
    return firmnessLevel(level).threshold;
}

double SoundTapDetector::activeThreshold() const {
    if (sequenceActive)
        return followUpThreshold(lastAcceptedStrength, kFirmnessLevels[0].threshold);
    return levelThreshold();
}

void SoundTapDetector::reset() {
    int keptChannels = channels;
    double keptRate = rate;
    channels = 0;
    configure(keptChannels, keptRate);
    sequenceActive = false;
    lastAcceptedStrength = 0;
    inputTimes.clear();
    rejectTimes.clear();
    lastOnset = -1e9;
}

void SoundTapDetector::configure(int channelCount, double sampleRate) {
    if (channelCount == channels && sampleRate == rate) return;
    channels = channelCount;
    rate = sampleRate;
    if (channels <= 0 || !(rate > 0)) return;
    hopLength = std::max(1, static_cast<int>(std::lround(rate * hopSeconds)));
    double hop = hopLength / rate;
    for (auto& filter : dcBlock) filter = Biquad::highPass(60, rate);
    lowBand = Biquad::lowPass(1500, rate);
    highBandHp[0] = highBandHp[1] = Biquad::highPass(2500, rate);
    highBandLp = Biquad::lowPass(8000, rate);
    floorDown = 1 - std::exp(-hop / kFloorFallSeconds);
    floorUp = 1 - std::exp(-hop / kFloorRiseSeconds);
    floorHeld = 1 - std::exp(-hop / kFloorHeldRiseSeconds);
    clearHop();
    recentPowers.fill(0);
    recentChannelPowers.fill({});
    recentIndex = 0;
    warmUpHops = 0;
    floorReady = false;
    state = State::quiet;
}

void SoundTapDetector::noteInputActivity(double time) {
    if (inputTimes.size() >= kInputTimesKept) inputTimes.erase(inputTimes.begin());
    inputTimes.push_back(time);
}

void SoundTapDetector::ingest(const float* frames, std::size_t frameCount, int channelCount, double sampleRate,
                              double time) {
    if (channelCount <= 0 || !(sampleRate > 0) || !std::isfinite(time)) return;
    configure(channelCount, sampleRate);
    std::size_t compared = std::min<std::size_t>(static_cast<std::size_t>(channels), kMaxChannels);
    double scale = 1.0 / channels;
    for (std::size_t i = 0; i < frameCount; ++i) {
        const float* frame = frames + i * static_cast<std::size_t>(channels);
        double mono = 0;
        for (std::size_t c = 0; c < static_cast<std::size_t>(channels); ++c) {
            double x = frame[c];
            if (!std::isfinite(x)) x = 0; // one damaged sample must not poison the filters
            hopSounding = hopSounding || x != 0;
            if (c < compared) {
                x = dcBlock[c].step(x);
                hopChannelPower[c] += x * x;
                hopChannelPeak[c] = std::max(hopChannelPeak[c], std::abs(x));
            }
            mono += x;
        }
        mono *= scale;
        hopPower += mono * mono;
        double low = lowBand.step(mono);
        double high = highBandLp.step(highBandHp[1].step(highBandHp[0].step(mono)));
        hopLow += low * low;
        hopHigh += high * high;
        if (++hopFill == hopLength) endHop(time + static_cast<double>(i + 1) / rate);
    }
}

void SoundTapDetector::endHop(double t) {
    // Digital silence (a muted microphone, the gap between two streams) says nothing of the room: a floor taken
    // from it would make the room's own noise after it a sound that never ends, and the first knock with it.
    if (!hopSounding && floorReady && state == State::quiet) {
        clearHop();
        return;
    }
    std::size_t compared = std::min<std::size_t>(static_cast<std::size_t>(channels), kMaxChannels);
    double db = powerDb(hopPower / hopLength);
    // A low tone's power swings within its period; the floor and the end of a candidate follow the mean over
    // the last few hops, so that a knock at 80 Hz is one candidate and not a dozen.
    double previousDb = powerDb(*std::max_element(recentPowers.begin(), recentPowers.end()));
    double ongoingDb = powerDb(mean(recentPowers));
    recentPowers[recentIndex] = hopPower / hopLength;
    std::array<double, 8> channelDb{};
    for (std::size_t c = 0; c < compared; ++c) recentChannelPowers[recentIndex][c] = hopChannelPower[c] / hopLength;
    recentIndex = (recentIndex + 1) % kSmoothingHops;
    double smoothDb = powerDb(mean(recentPowers));
    for (std::size_t c = 0; c < compared; ++c) {
        double sum = 0;
        for (const auto& powers : recentChannelPowers) sum += powers[c];
        channelDb[c] = powerDb(sum / kSmoothingHops);
    }

    if (!floorReady) {
        // The first hops only fill the mean that sets the floor.
        if (++warmUpHops < kSmoothingHops) {
            clearHop();
            return;
        }
        floorReady = true;
        floor = std::max(smoothDb, kMinFloorDb);
        roomFloor = floor;
        for (std::size_t c = 0; c < compared; ++c) channelFloor[c] = std::max(channelDb[c], kMinFloorDb);
    }

    auto follow = [](double& value, double target, double weight) {
        value = std::max(value + (target - value) * weight, kMinFloorDb);
    };

    if (state == State::quiet && db > floor + onsetDb) {
        open(t - hopLength / rate, db);
    } else if (state == State::sustained && db > std::max(previousDb, floor) + onsetDb) {
        // A knock over a sound that goes on ends when it has died back to that sound.
        open(t - hopLength / rate, db);
        candidate.floorAtOnset = std::max(floor, ongoingDb);
    }

    switch (state) {
    case State::quiet:
        follow(floor, smoothDb, smoothDb < floor ? floorDown : floorUp);
        for (std::size_t c = 0; c < compared; ++c)
            follow(channelFloor[c], channelDb[c], channelDb[c] < channelFloor[c] ? floorDown : floorUp);
        break;
    case State::candidate: {
        // A knock on top of a sound that was already going: judge the knock, not what came before it.
        if (db > previousDb + onsetDb && t - candidate.onset > 2 * hopLength / rate) {
            double ongoing = std::max(candidate.floorAtOnset, ongoingDb);
            open(t - hopLength / rate, db);
            candidate.floorAtOnset = ongoing;
        }
        if (smoothDb > candidate.smoothPeak) {
            candidate.smoothPeak = smoothDb;
            candidate.smoothPeakAt = t;
        }
        candidate.smoothAtEnd = smoothDb;
        candidate.low += hopLow;
        candidate.high += hopHigh;
        if (db > candidate.peakPower) {
            candidate.peakPower = db;
            candidate.peakAt = t;
        }
        for (std::size_t c = 0; c < compared; ++c) {
            candidate.channelPeak[c] = std::max(candidate.channelPeak[c], hopChannelPeak[c]);
            if (candidate.channelOnset[c] < 0 && powerDb(hopChannelPower[c] / hopLength) > channelFloor[c] + onsetDb)
                candidate.channelOnset[c] = t;
        }
        // Within 6 dB of the floor a quiet note can still be ringing; back within 3 dB it has died away, and so
        // has a sound that lost most of its height (a knock over music that goes on).
        bool back = smoothDb < candidate.floorAtOnset + backDb ||
                    (smoothDb < candidate.floorAtOnset + releaseDb && smoothDb < candidate.smoothPeak - fallenDb);
        if (back && t - candidate.peakAt >= smoothingSeconds()) {
            close(t, false);
        } else if (t - candidate.peakAt > maxDecay) {
            close(t, true);
            state = State::sustained;
        }
        break;
    }
    case State::sustained:
        // A long sound raises the floor slowly, so that one that never stops is eventually the background.
        if (smoothDb < floor + releaseDb) {
            state = State::quiet;
        } else {
            follow(floor, smoothDb, floorHeld);
            for (std::size_t c = 0; c < compared; ++c) follow(channelFloor[c], channelDb[c], floorHeld);
        }
        break;
    }

    // The quiet room under it all: follows the floor down at once and up only slowly, so that music or talk that
    // lifts the floor is known as such.
    roomFloor = std::min(floor, roomFloor + kRoomFloorRisePerSecond * hopLength / rate);
    clearHop();
}

void SoundTapDetector::clearHop() {
    hopFill = 0;
    hopSounding = false;
    hopPower = hopLow = hopHigh = 0;
    hopChannelPower.fill(0);
    hopChannelPeak.fill(0);
}

void SoundTapDetector::open(double t, double db) {
    state = State::candidate;
    candidate = Candidate{};
    candidate.onset = t;
    candidate.peakAt = t;
    candidate.peakPower = db;
    candidate.floorAtOnset = floor;
    candidate.channelOnset.fill(-1);
    candidate.channelFloor = channelFloor;
}

int SoundTapDetector::recentRejects(double t) const {
    return static_cast<int>(
        std::count_if(rejectTimes.begin(), rejectTimes.end(), [t](double at) { return t - at <= kBurstSeconds; }));
}

void SoundTapDetector::close(double t, bool sustained) {
    state = State::quiet;
    std::size_t compared = std::min<std::size_t>(static_cast<std::size_t>(channels), kMaxChannels);
    double rise = candidate.peakAt - candidate.onset;
    double decay = t - candidate.peakAt;
    double lowShare = candidate.low / std::max(candidate.low + candidate.high, 1e-30);
    double fallTime = std::max(t - candidate.smoothPeakAt, hopLength / rate);
    double decayRate = (candidate.smoothPeak - candidate.smoothAtEnd) / fallTime;

    // Strength: the loudest channel's sample peak over its own background RMS.
    double db = -1e9, loudest = 0, quietest = 1e30, firstOnset = 1e30, lastChannelOnset = -1e30;
    for (std::size_t c = 0; c < compared; ++c) {
        double peak = candidate.channelPeak[c];
        db = std::max(db, 20 * std::log10(std::max(peak, 1e-12)) - candidate.channelFloor[c]);
        loudest = std::max(loudest, peak);
        quietest = std::min(quietest, peak);
        if (candidate.channelOnset[c] >= 0) {
            firstOnset = std::min(firstOnset, candidate.channelOnset[c]);
            lastChannelOnset = std::max(lastChannelOnset, candidate.channelOnset[c]);
        }
    }
    double channelDb = compared > 1 ? 20 * std::log10(std::max(loudest, 1e-12) / std::max(quietest, 1e-12)) : 0;
    double channelLag = lastChannelOnset > firstOnset ? lastChannelOnset - firstOnset : 0;
    int burst = recentRejects(candidate.onset);

    Verdict judged =
        sustained ? Verdict::rejectSustained : judge(rise, decayRate, lowShare, channelDb, channelLag, burst);
    double strength = strengthForDb(db);
    if (judged == Verdict::underThreshold && strength >= activeThreshold()) {
        // Over typing, speech or music a knock must stand out further than over a quiet room.
        bool busy = burst >= kBurstCount || candidate.floorAtOnset > roomFloor + kLiftedFloorDb;
        judged = busy && db < busyDb ? Verdict::rejectBusy : Verdict::accept;
    }
    verdict = judged;
    verdictAt = t;

    lastOnset = candidate.onset;
    if (judged != Verdict::accept && judged != Verdict::underThreshold) {
        rejectTimes.erase(std::remove_if(rejectTimes.begin(), rejectTimes.end(),
                                         [this](double at) { return candidate.onset - at > kBurstSeconds; }),
                          rejectTimes.end());
        rejectTimes.push_back(candidate.onset);
    }

    log(judged, db, rise, decay, decayRate, lowShare, channelDb, channelLag, burst);
    if (judged == Verdict::accept || judged == Verdict::underThreshold) {
        if (onAcceptedPeak) onAcceptedPeak(strength);
    }
    if (judged == Verdict::accept) {
        lastAcceptedStrength = strength;
        if (onImpact) onImpact(strength / levelThreshold());
    }
}

SoundTapDetector::Verdict SoundTapDetector::judge(double rise, double decayRate, double lowShare, double channelDb,
                                                  double channelLag, int burst) const {
    if (decayRate < minDecayRate) return Verdict::rejectRinging;
    if (rise > maxRise) return Verdict::rejectSlowRise;
    if (lowShare < (burst >= kBurstCount ? typingLowShare : minLowShare)) return Verdict::rejectBright;
    // A bright press is already judged; a dull one (a space bar) that passed for a knock gives itself away by
    // its release, which must not count again.
    if (candidate.onset - lastOnset < keystrokeGap && verdict == Verdict::accept) return Verdict::rejectKeystroke;
    if (channelDb > maxChannelDb || channelLag > maxChannelLag) return Verdict::rejectChannels;
    for (double at : inputTimes)
        if (std::abs(candidate.onset - at) <= inputWindow) return Verdict::rejectInput;
    // The threshold is applied by the caller, which knows the strength.
    return Verdict::underThreshold;
}

void SoundTapDetector::log(Verdict judged, double db, double rise, double decay, double decayRate, double lowShare,
                           double channelDb, double channelLag, int burst) {
    if (!eventLog->enabled()) return;
    char line[256];
    int length = std::snprintf(
        line, sizeof line,
        "%-16s sound peak=%.1fdB strength=%.3f rise=%.0fms decay=%.0fms fall=%.0fdB/s low=%.0f%% ch=%.1fdB "
        "lag=%.0fms burst=%d floor=%.0fdBFS thr=%.2f",
        verdictName(judged), db, strengthForDb(db), rise * 1000, decay * 1000, decayRate, lowShare * 100, channelDb,
        channelLag * 1000, burst, candidate.floorAtOnset, activeThreshold());
    if (length > 0) eventLog->append({line, std::min(static_cast<size_t>(length), sizeof line - 1)});
}

} // namespace knokle
