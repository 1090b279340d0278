// The sound tap detector's cost per second of 48 kHz stereo audio (the budget: 1 % of one core, under 10 ms),
// and its accuracy on the synthetic corpus: gestures counted right, false gestures per ten minutes of each
// confounder alone, and the time from the end of a tap's sound to its impact.

#include "SoundRig.h"
#include "sensing/EventLog.h"
#include "sensing/SoundTapDetector.h"
#include "sensing/SyntheticSound.h"

#include <benchmark/benchmark.h>
#include <cmath>

namespace {

using namespace knokle;

void BM_SoundDetectorPerSecondOf48kStereo(benchmark::State& state) {
    // Ten seconds of a busy room: taps, typing, speech and music over each other.
    SyntheticSound sound(48000, 2, 3);
    sound.typing(0, 10, 6, 30).speech(0, 10, 25).music(0, 10, 20);
    for (double t = 0.5; t < 10; t += 2) sound.tap(t, {34, 300, 0.03, true});
    sound.extend(10);
    const std::vector<float> frames = sound.render();
    EventLog off(EventLog::standardPath, false);
    SoundTapDetector detector;
    detector.setEventLog(off);
    long impacts = 0;
    detector.onImpact = [&impacts](double) { ++impacts; };
    const std::size_t chunk = 480; // 10 ms
    for (auto _ : state) {
        detector.reset();
        for (std::size_t at = 0; at < frames.size() / 2; at += chunk)
            detector.ingest(frames.data() + at * 2, chunk, 2, 48000, static_cast<double>(at) / 48000);
    }
    benchmark::DoNotOptimize(impacts);
    // One iteration is ten seconds of audio: the CPU time per iteration over ten is the share of one core.
    state.counters["audio_seconds_per_iteration"] = 10;
}
BENCHMARK(BM_SoundDetectorPerSecondOf48kStereo)->Unit(benchmark::kMillisecond);

struct Uniform {
    std::uint64_t state;
    double operator()(double low, double high) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return low + static_cast<double>(state >> 11) / static_cast<double>(1ull << 53) * (high - low);
    }
};

// 160 gestures of one to three taps across the whole range of taps, at the Light level (the one that must catch
// the faintest), in clips of every format.
void BM_SoundCorpusGesturesRight(benchmark::State& state) {
    int right = 0, total = 0;
    double latencySum = 0, latencyMax = 0;
    int latencies = 0;
    for (auto _ : state) {
        Uniform uniform{42};
        for (int clip = 0; clip < 8; ++clip) {
            double rate = clip % 2 ? 44100 : 48000;
            int channels = clip / 2 % 2 ? 2 : 1;
            SyntheticSound sound(rate, channels, 100 + static_cast<std::uint32_t>(clip));
            std::vector<std::pair<double, int>> expected;
            for (int g = 0; g < 20; ++g) {
                SoundTapShape shape{uniform(18, 40), std::exp(uniform(std::log(80), std::log(1500))),
                                    uniform(0.005, 0.06), clip / 4 == 1};
                int count = 1 + g % 3;
                double at = 1 + g * 5.0;
                sound.taps(at, count, uniform(0.25, 0.5), shape);
                expected.emplace_back(at, count);
            }
            sound.extend(102);
            test::SoundRig rig(1);
            rig.feed(sound.render(), channels, rate);
            for (auto [at, count] : expected) {
                int seen = 0, last = 0;
                for (std::size_t i = 0; i < rig.gestures.size(); ++i) {
                    if (rig.gestureTimes[i] >= at && rig.gestureTimes[i] < at + 5) {
                        ++seen;
                        last = rig.gestures[i];
                    }
                }
                ++total;
                if (seen == 1 && last == count) ++right;
            }
            for (double end : sound.tapEnds()) {
                for (double t : rig.impactTimes) {
                    if (t > end - 0.07 && t < end + 0.2) {
                        double latency = std::max(0.0, t - end);
                        latencySum += latency;
                        latencyMax = std::max(latencyMax, latency);
                        ++latencies;
                        break;
                    }
                }
            }
        }
    }
    state.counters["gestures_right_pct"] = 100.0 * right / std::max(total, 1);
    state.counters["latency_mean_ms"] = 1000 * latencySum / std::max(latencies, 1);
    state.counters["latency_max_ms"] = 1000 * latencyMax;
}
BENCHMARK(BM_SoundCorpusGesturesRight)->Unit(benchmark::kSecond)->Iterations(1);

// Ten minutes of one confounder alone, at the Light and the Heavy level: every gesture is a false one.
void BM_SoundFalseGesturesPer10Min(benchmark::State& state) {
    int kind = static_cast<int>(state.range(0));
    int falseGestures = 0, falseAtHeavy = 0;
    for (auto _ : state) {
        SyntheticSound sound(48000, 1, 77 + static_cast<std::uint32_t>(kind));
        for (int minute = 0; minute < 10; ++minute) {
            double level = 18 + 2.2 * minute; // 18...38 dB over the room
            if (kind == 0) sound.typing(minute * 60, 60, 3 + minute % 6, level);
            if (kind == 1) sound.speech(minute * 60, 60, level);
            if (kind == 2) sound.music(minute * 60, 60, level);
        }
        sound.extend(600);
        const std::vector<float> frames = sound.render();
        test::SoundRig light(1), heavy(2);
        light.feed(frames, 1, 48000);
        heavy.feed(frames, 1, 48000);
        falseGestures = static_cast<int>(light.gestures.size());
        falseAtHeavy = static_cast<int>(heavy.gestures.size());
    }
    static const char* names[] = {"typing", "speech", "music"};
    state.SetLabel(names[kind]);
    state.counters["false_gestures_light"] = falseGestures;
    state.counters["false_gestures_heavy"] = falseAtHeavy;
}
BENCHMARK(BM_SoundFalseGesturesPer10Min)->DenseRange(0, 2)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
