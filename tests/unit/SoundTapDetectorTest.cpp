#include "sensing/SoundTapDetector.h"
#include "SoundRig.h"
#include "TempDir.h"
#include "sensing/SyntheticSound.h"
#include "sensing/WavFile.h"

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

using namespace knokle;
using V = SoundTapDetector::Verdict;

namespace {

// Taps alone (one-, two- and three-tap gestures with the counter's rhythm), taps over other sounds, or a minute of
// other sounds alone at the most sensitive level, which give no gesture and at most a stray impact.
struct Clip {
    const char* name;
    int level, channels;
    std::optional<SoundTapShape> taps;
    std::function<void(SyntheticSound&)> add = nullptr; // the other sounds
    double rate = 48000;
};

class SoundClips : public testing::TestWithParam<Clip> {};

TEST_P(SoundClips, OnlyTapsMakeGestures) {
    const Clip& c = GetParam();
    SyntheticSound sound(c.rate, c.channels, !c.add ? 11 : c.taps ? 31 : 23);
    if (c.add) c.add(sound);
    if (auto shape = c.taps; shape) {
        double at = c.add ? 1 : 0.5;
        sound.tap(at, *shape).taps(at + 4, 2, 0.35, *shape).taps(at + 8.5, 3, 0.3, *shape);
    }
    sound.extend(!c.taps ? 60 : c.add ? 16 : 14);
    test::SoundRig rig(c.level);
    rig.feed(sound.render(), c.channels, c.rate);
    if (c.taps) {
        EXPECT_EQ(rig.gestures, (std::vector<int>{1, 2, 3}));
    } else {
        EXPECT_LE(rig.impactTimes.size(), 1u);
        EXPECT_TRUE(rig.gestures.empty() || rig.gestures == std::vector<int>{1});
    }
}

const SoundTapShape kClick{35, 300, 0.03, true};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Clips, SoundClips, testing::Values(
    Clip{"faint_low_long", 1, 1, SoundTapShape{18, 80, 0.06, false}},
    Clip{"faint_mid_short_click", 1, 1, SoundTapShape{18, 600, 0.005, true}, nullptr, 44100},
    Clip{"light_high_stereo", 1, 2, SoundTapShape{22, 1500, 0.02, false}},
    Clip{"medium_stereo_click", 1, 2, SoundTapShape{27, 250, 0.04, true}, nullptr, 44100},
    Clip{"firm_low", 2, 1, SoundTapShape{33, 120, 0.03, false}},
    Clip{"firm_short_stereo", 2, 2, SoundTapShape{36, 900, 0.005, true}, nullptr, 44100},
    Clip{"loudest_long_click", 2, 2, SoundTapShape{40, 400, 0.06, true}},
    Clip{"loudest_high_short", 2, 1, SoundTapShape{40, 1500, 0.008, false}, nullptr, 44100},
    Clip{"room_noise", 1, 2, std::nullopt, [](SyntheticSound&) {}},
    Clip{"slow_typing", 1, 1, std::nullopt, [](SyntheticSound& s) { s.typing(0, 60, 3, 30); }},
    Clip{"fast_loud_typing", 1, 2, std::nullopt, [](SyntheticSound& s) { s.typing(0, 60, 8, 38); }},
    Clip{"speech", 1, 1, std::nullopt, [](SyntheticSound& s) { s.speech(0, 60, 35); }},
    Clip{"music", 1, 2, std::nullopt, [](SyntheticSound& s) { s.music(0, 60, 35); }},
    Clip{"taps_over_typing", 2, 1, kClick, [](SyntheticSound& s) { s.typing(0, 16, 5, 26); }},
    Clip{"taps_over_quiet_speech", 2, 2, kClick, [](SyntheticSound& s) { s.speech(0, 16, 12); }},
    Clip{"taps_over_quiet_music", 2, 1, kClick, [](SyntheticSound& s) { s.music(0, 16, 10); }}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Each clip holds one sound (or a pair); the verdicts are what the detector's log would say of each candidate.
struct VerdictRow {
    const char* name;
    int level;
    int channels;
    std::function<void(SyntheticSound&)> add;
    std::vector<V> verdicts;
    double inputAt = -1; // a key event at this clip time
};

class SoundVerdicts : public testing::TestWithParam<VerdictRow> {};

TEST_P(SoundVerdicts, CandidatesAreJudgedAsAPersonWould) {
    const VerdictRow& row = GetParam();
    SyntheticSound sound(48000, row.channels, 5);
    row.add(sound);
    sound.extend(sound.duration() + 0.5);
    std::vector<float> frames = sound.render();
    test::TempDir dir;
    test::SoundRig rig(row.level, (dir / "events.log").string(), true);
    if (row.inputAt >= 0) rig.detector.noteInputActivity(row.inputAt);
    rig.feed(frames, row.channels, 48000, 0);
    std::vector<V> verdicts;
    std::ifstream log(dir / "events.log");
    for (std::string line; std::getline(log, line);) {
        for (V v : {V::rejectSustained, V::rejectRinging, V::rejectSlowRise, V::rejectBright, V::rejectKeystroke,
                    V::rejectChannels, V::rejectInput, V::rejectBusy, V::underThreshold, V::accept})
            if (line.rfind(SoundTapDetector::verdictName(v) + std::string(" "), 0) == 0) verdicts.push_back(v);
        EXPECT_NE(line.find(" low="), std::string::npos) << line; // features go with every verdict
    }
    EXPECT_EQ(verdicts, row.verdicts);
}

const SoundTapShape kKnock{30, 300, 0.03, false};

INSTANTIATE_TEST_SUITE_P(
    Sounds, SoundVerdicts,
    testing::Values(
        VerdictRow{"knock", 1, 1, [](SyntheticSound& s) { s.tap(0.5, kKnock); }, {V::accept}},
        VerdictRow{"faint_knock_at_heavy",
                   2,
                   1,
                   [](SyntheticSound& s) {
                       s.tap(0.5, {20, 300, 0.03});
                   },
                   {V::underThreshold}},
        VerdictRow{"key_click",
                   1,
                   1,
                   [](SyntheticSound& s) { s.typing(0.5, 0.01, 1, 30); },
                   {V::rejectBright, V::rejectBright}},
        VerdictRow{"ringing_note",
                   1,
                   1,
                   [](SyntheticSound& s) { s.music(0.5, 0.01, 30); },
                   {V::rejectSustained, V::rejectSustained}}, // and its tail
        // A quiet note rings a few dB over the floor another one lifted: it opens candidates that die slowly.
        VerdictRow{"quiet_note_over_a_ringing_one",
                   1,
                   1,
                   [](SyntheticSound& s) { s.music(0.5, 0.3, 20); },
                   {V::rejectSustained, V::rejectSustained, V::rejectRinging, V::underThreshold, V::underThreshold}},
        VerdictRow{"dull_key_and_its_release",
                   1,
                   1,
                   [](SyntheticSound& s) { s.tap(0.5, kKnock).tap(0.6, kKnock); },
                   {V::accept, V::rejectKeystroke}},
        VerdictRow{
            "knock_at_a_key_event", 1, 1, [](SyntheticSound& s) { s.tap(0.5, kKnock); }, {V::rejectInput}, 0.52}),
    [](const auto& info) { return std::string(info.param.name); });

// Strength is on the accelerometer's scale: a peak 16 dB over the room is a light tap, about 30.5 dB a firm one.
// Muted, then unmuted: the room's noise comes back with the knock, and the floor is still the room's.
TEST(SoundSilence, AKnockRightAfterDigitalSilenceCounts) {
    SyntheticSound sound;
    sound.tap(2.3, SoundTapShape{30, 300, 0.03, false}).extend(4);
    std::vector<float> frames = sound.render();
    std::fill(frames.begin() + 2 * 48000, frames.begin() + 2 * 48000 + 14400, 0.f);
    test::SoundRig rig(2);
    rig.feed(frames, 1, 48000);
    ASSERT_EQ(rig.impactTimes.size(), 1u);
    EXPECT_NEAR(rig.impactTimes[0], 2.3, 0.1);
}

TEST(SoundStrength, PeaksOverTheRoomMapOntoTheAccelerometerScale) {
    EXPECT_DOUBLE_EQ(SoundTapDetector::strengthForDb(SoundTapDetector::lightTapDb), kFirmnessLevels[0].threshold);
    EXPECT_NEAR(SoundTapDetector::dbForStrength(kFirmnessLevels[1].threshold), 30.5, 0.1);
    for (double db : {20.0, 28.0, 36.0}) {
        SyntheticSound sound(44100, 2, 9);
        sound.tap(0.5, {db, 200, 0.03, false}).extend(1.2);
        test::SoundRig rig(1);
        std::vector<double> strengths;
        rig.detector.onAcceptedPeak = [&](double s) { strengths.push_back(s); };
        rig.feed(sound.render(), 2, 44100, 0);
        ASSERT_EQ(strengths.size(), 1u) << db;
        EXPECT_NEAR(SoundTapDetector::dbForStrength(strengths[0]), db, 2.5) << db;
    }
}

// Real synthesised speech, loud, over the room: no impact.
TEST(SoundSpeech, EspeakSentencesGiveNoImpacts) {
    test::TempDir dir;
    auto path = dir / "speech.wav";
    std::string command = "espeak-ng -w '" + path.string() +
                          "' 'Knock knock. Who is there? Tapping on the table, speaking quickly, stopping, "
                          "then talking again about pots, kettles and bottles.' 2>/dev/null";
    if (std::system(command.c_str()) != 0) GTEST_SKIP() << "espeak-ng is not installed";
    WavFile wav;
    ASSERT_FALSE(wav.open(path));
    std::vector<float> voice(static_cast<std::size_t>(wav.frameCount()));
    voice.resize(wav.read(voice.data(), voice.size()));
    // Up to 44.1 kHz (espeak speaks at 22.05 kHz), at about 35 dB over the room.
    double rate = wav.format().sampleRate;
    auto factor = static_cast<std::size_t>(std::lround(44100 / rate));
    SyntheticSound room(44100, 1, 3, -55);
    room.extend(static_cast<double>(voice.size() * factor) / 44100 + 1);
    std::vector<float> frames = room.render();
    for (std::size_t i = 0; i < voice.size() * factor; ++i)
        frames[i + 22050] += voice[i / factor] * 0.3f;
    test::SoundRig rig(1);
    rig.feed(frames, 1, 44100);
    EXPECT_TRUE(rig.impactTimes.empty()) << rig.impactTimes.size() << " impacts";
}

} // namespace
