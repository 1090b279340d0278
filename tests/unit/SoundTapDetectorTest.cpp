#include "SoundRig.h"
#include "TempDir.h"
#include "sensing/SoundTapDetector.h"
#include "sensing/SyntheticSound.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <sstream>

using namespace knokle;
using V = SoundTapDetector::Verdict;

namespace {

// One-, two- and three-tap gestures with the counter's rhythm, starting at `at`; ends 14 s later.
void gestures(SyntheticSound& sound, double at, const SoundTapShape& shape) {
    sound.tap(at, shape).taps(at + 4, 2, 0.35, shape).taps(at + 8.5, 3, 0.3, shape);
}

struct TapRow {
    const char* name;
    double rate;
    int channels;
    SoundTapShape shape;
    int level;
};

class SoundTapsAcrossTheRange : public testing::TestWithParam<TapRow> {};

TEST_P(SoundTapsAcrossTheRange, GesturesAreCountedRight) {
    const TapRow& row = GetParam();
    SyntheticSound sound(row.rate, row.channels, 11);
    gestures(sound, 0.5, row.shape);
    sound.extend(14);
    test::SoundRig rig(row.level);
    rig.feed(sound.render(), row.channels, row.rate);
    EXPECT_EQ(rig.gestures, (std::vector<int>{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(
    Taps, SoundTapsAcrossTheRange,
    testing::Values(TapRow{"faint_low_long", 48000, 1, {18, 80, 0.06, false}, 1},
                    TapRow{"faint_mid_short_click", 44100, 1, {18, 600, 0.005, true}, 1},
                    TapRow{"light_high_stereo", 48000, 2, {22, 1500, 0.02, false}, 1},
                    TapRow{"medium_stereo_click", 44100, 2, {27, 250, 0.04, true}, 1},
                    TapRow{"firm_low", 48000, 1, {33, 120, 0.03, false}, 2},
                    TapRow{"firm_short_stereo", 44100, 2, {36, 900, 0.005, true}, 2},
                    TapRow{"loudest_long_click", 48000, 2, {40, 400, 0.06, true}, 2},
                    TapRow{"loudest_high_short", 44100, 1, {40, 1500, 0.008, false}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct ConfounderRow {
    const char* name;
    int channels;
    std::function<void(SyntheticSound&)> add;
};

class SoundConfounders : public testing::TestWithParam<ConfounderRow> {};

// A minute of each at the most sensitive level: no gesture, and at most a stray impact.
TEST_P(SoundConfounders, AloneGiveNoGestures) {
    const ConfounderRow& row = GetParam();
    SyntheticSound sound(48000, row.channels, 23);
    row.add(sound);
    sound.extend(60);
    test::SoundRig rig(1);
    rig.feed(sound.render(), row.channels, 48000);
    EXPECT_LE(rig.impactTimes.size(), 1u);
    EXPECT_TRUE(rig.gestures.empty() || rig.gestures == std::vector<int>{1});
}

INSTANTIATE_TEST_SUITE_P(
    Alone, SoundConfounders,
    testing::Values(ConfounderRow{"room_noise", 2, [](SyntheticSound&) {}},
                    ConfounderRow{"slow_typing", 1, [](SyntheticSound& s) { s.typing(0, 60, 3, 30); }},
                    ConfounderRow{"fast_loud_typing", 2, [](SyntheticSound& s) { s.typing(0, 60, 8, 38); }},
                    ConfounderRow{"speech", 1, [](SyntheticSound& s) { s.speech(0, 60, 35); }},
                    ConfounderRow{"music", 2, [](SyntheticSound& s) { s.music(0, 60, 35); }}),
    [](const auto& info) { return std::string(info.param.name); });

class SoundTapsOverConfounders : public testing::TestWithParam<ConfounderRow> {};

TEST_P(SoundTapsOverConfounders, GesturesStillCountedRight) {
    const ConfounderRow& row = GetParam();
    SyntheticSound sound(48000, row.channels, 31);
    row.add(sound);
    gestures(sound, 1, {35, 300, 0.03, true});
    sound.extend(16);
    test::SoundRig rig(2);
    rig.feed(sound.render(), row.channels, 48000);
    EXPECT_EQ(rig.gestures, (std::vector<int>{1, 2, 3}));
}

INSTANTIATE_TEST_SUITE_P(
    Mixed, SoundTapsOverConfounders,
    testing::Values(ConfounderRow{"typing", 1, [](SyntheticSound& s) { s.typing(0, 16, 5, 26); }},
                    ConfounderRow{"quiet_speech", 2, [](SyntheticSound& s) { s.speech(0, 16, 12); }},
                    ConfounderRow{"quiet_music", 1, [](SyntheticSound& s) { s.music(0, 16, 10); }}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
