#include "platform/linux/runtime/QtMainLoop.h"
#include "platform/linux/audio/FrameHandoff.h"
#include "platform/linux/audio/PulseAudioCapture.h"

#include "PulseServer.h"
#include "QtEventLoop.h"
#include "ScopedEnv.h"
#include "TempDir.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <thread>

using namespace knokle;
using State = AudioCapture::State;

namespace {

// Knuckle-like taps: a low tone that dies away in tens of milliseconds, at the given times, in 16-bit stereo.
void writeTaps(const std::filesystem::path& file, const std::vector<double>& times, double length) {
    const int rate = 48000;
    std::vector<std::int16_t> samples(static_cast<std::size_t>(length * rate) * 2, 0);
    for (double at : times)
        for (int i = 0; i < rate / 10; ++i) {
            double t = double(i) / rate, v = 0.8 * std::exp(-t / 0.012) * std::sin(2 * M_PI * 220 * t);
            auto index = (static_cast<std::size_t>(at * rate) + i) * 2;
            if (index + 1 < samples.size()) samples[index] = samples[index + 1] = std::int16_t(v * 32767);
        }
    auto u32 = [](std::ofstream& o, std::uint32_t v) { o.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](std::ofstream& o, std::uint16_t v) { o.write(reinterpret_cast<const char*>(&v), 2); };
    std::ofstream out(file, std::ios::binary);
    std::uint32_t bytes = static_cast<std::uint32_t>(samples.size() * 2);
    out.write("RIFF", 4), u32(out, 36 + bytes), out.write("WAVEfmt ", 8), u32(out, 16), u16(out, 1), u16(out, 2);
    u32(out, rate), u32(out, rate * 4), u16(out, 4), u16(out, 16), out.write("data", 4), u32(out, bytes);
    out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

// Everything a capture delivered: its states, and the times at which loud onsets began.
struct Listener {
    std::vector<std::pair<State, std::string>> states;
    std::vector<double> onsets;
    std::size_t frames = 0;
    AudioFormat format;
    int sinceLoud = 1 << 30;

    explicit Listener(AudioCapture& capture) {
        capture.onStateChanged = [this](State s, const std::string& why) { states.emplace_back(s, why); };
        capture.onFrames = [this](const float* samples, std::size_t count, AudioFormat f, double firstFrameTime) {
            format = f;
            for (std::size_t i = 0; i < count; ++i) {
                float v = std::fabs(samples[i * f.channels]);
                if (v > 0.3f && sinceLoud > f.sampleRate / 20) onsets.push_back(firstFrameTime + double(i) / f.sampleRate);
                sinceLoud = v > 0.3f ? 0 : sinceLoud + 1;
            }
            frames += count;
        };
    }
    bool reached(State s) const { return !states.empty() && states.back().first == s; }
};

class PulseAudioCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::pulseServerInstalled()) GTEST_SKIP() << "pulseaudio and pulseaudio-utils are not installed";
        test::ensureQtApplication();
    }
    test::TempDir dir;
    // Client and server share a home and runtime folder, as in a desktop session (where the server has made the
    // cookie a client reads).
    test::ScopedEnv home{"HOME", (dir.path() / "server" / "home").c_str()};
    test::ScopedEnv runtime{"XDG_RUNTIME_DIR", (dir.path() / "server" / "run").c_str()};
    test::ScopedEnv server{"PULSE_SERVER", ("unix:" + (dir.path() / "server" / "native").string()).c_str()};
    QtMainLoop loop;
    PulseAudioCapture::Options quick{.firstRetry = Seconds(0.1), .longestRetry = Seconds(0.4)};
};

} // namespace

TEST_F(PulseAudioCaptureTest, TapsPlayedIntoTheSinkArriveFromItsMonitorAtTheirSpacing) {
    test::PulseServer pulse(dir.path() / "server");
    writeTaps(dir.path() / "taps.wav", {0.3, 0.6, 1.05}, 1.4);
    PulseAudioCapture capture(loop);
    Listener heard(capture);
    capture.open({});
    ASSERT_TRUE(test::runEventsUntil([&] { return heard.reached(State::listening); }, 5000));
    EXPECT_TRUE(capture.isOpen());

    // The desktop's indicator and sound settings name who listens.
    std::string outputs = pulse.pactl({"list", "source-outputs"});
    for (const char* property :
         {"application.name = \"Knokle\"", "application.icon_name = \"org.knokle.Knokle\"", "media.role = \"production\""})
        EXPECT_NE(outputs.find(property), std::string::npos) << property << "\n" << outputs;

    std::thread player([&] { pulse.play(dir.path() / "taps.wav"); });
    test::runEventsUntil([&] { return heard.onsets.size() >= 3; }, 6000);
    player.join();
    EXPECT_EQ(heard.format, (AudioFormat{48000, 2}));
    ASSERT_EQ(heard.onsets.size(), 3u);
    // The frames' times keep the taps' spacing to within a fragment or two.
    EXPECT_NEAR(heard.onsets[1] - heard.onsets[0], 0.30, 0.02);
    EXPECT_NEAR(heard.onsets[2] - heard.onsets[1], 0.45, 0.02);

    // Closed, the stream is gone from the server and nothing more arrives.
    capture.close();
    std::size_t framesAtClose = heard.frames;
    test::runEventsFor(100);
    EXPECT_EQ(heard.frames, framesAtClose);
    EXPECT_FALSE(capture.isOpen());
    EXPECT_TRUE(heard.reached(State::stopped));
    EXPECT_EQ(pulse.pactl({"list", "short", "source-outputs"}), "");
}

TEST_F(PulseAudioCaptureTest, NoServerIsSaidOnceThenTheCaptureRecoversWheneverAServerComesAndGoes) {
    test::PulseServer pulse(dir.path() / "server", false);
    PulseAudioCapture capture(loop, quick);
    Listener heard(capture);
    capture.open({});
    ASSERT_TRUE(test::runEventsUntil([&] { return heard.reached(State::serverMissing); }, 3000));
    EXPECT_EQ(heard.states.back().second, "No sound server answers (Connection refused)");
    test::runEventsFor(600); // several quiet retries
    EXPECT_EQ(heard.states.size(), 1u);

    ASSERT_TRUE(pulse.start());
    ASSERT_TRUE(test::runEventsUntil([&] { return heard.reached(State::listening); }, 3000));
    pulse.stop(); // the server goes away mid-stream
    ASSERT_TRUE(test::runEventsUntil([&] { return heard.reached(State::serverMissing); }, 3000));
    ASSERT_TRUE(pulse.start());
    ASSERT_TRUE(test::runEventsUntil([&] { return heard.reached(State::listening); }, 3000));
    std::size_t before = heard.frames;
    EXPECT_TRUE(test::runEventsUntil([&] { return heard.frames > before + 4800; }, 3000)) << "frames flow again";
}

TEST_F(PulseAudioCaptureTest, MutedAndMissingSourcesAreReportedAndFollowed) {
    test::PulseServer pulse(dir.path() / "server");
    PulseAudioCapture capture(loop, quick);
    Listener heard(capture);

    capture.open("taps.monitor");
    ASSERT_TRUE(test::runEventsUntil([&] { return heard.reached(State::listening); }, 3000));
    pulse.pactl({"set-source-mute", "taps.monitor", "1"});
    EXPECT_TRUE(test::runEventsUntil([&] { return heard.reached(State::muted); }, 3000));
    pulse.pactl({"set-source-mute", "taps.monitor", "0"});
    EXPECT_TRUE(test::runEventsUntil([&] { return heard.reached(State::listening); }, 3000));

    // A source the user picked that is not there (yet): gone, until it is plugged in.
    capture.open("later.monitor");
    ASSERT_TRUE(test::runEventsUntil([&] { return heard.reached(State::sourceGone); }, 3000));
    EXPECT_EQ(heard.states.back().second, "There is no later.monitor");
    std::string module = pulse.pactl({"load-module", "module-null-sink", "sink_name=later"});
    ASSERT_TRUE(test::runEventsUntil([&] { return heard.reached(State::listening); }, 3000));
    // Unplugged while listening: gone again, not moved to another source behind the user's back.
    pulse.pactl({"unload-module", module.substr(0, module.find('\n'))});
    EXPECT_TRUE(test::runEventsUntil([&] { return heard.reached(State::sourceGone); }, 3000));
    EXPECT_EQ(pulse.pactl({"list", "short", "source-outputs"}), "");
}

TEST_F(PulseAudioCaptureTest, SourcesAreListedWithTheDefaultMarked) {
    test::PulseServer pulse(dir.path() / "server");
    PulseAudioCapture capture(loop);
    std::optional<std::vector<AudioSource>> listed;
    capture.listSources([&](std::vector<AudioSource> sources) { listed = std::move(sources); });
    ASSERT_TRUE(test::runEventsUntil([&] { return listed.has_value(); }, 3000));
    ASSERT_EQ(listed->size(), 1u);
    EXPECT_EQ((*listed)[0].name, "taps.monitor");
    EXPECT_TRUE((*listed)[0].isMonitor);
    EXPECT_TRUE((*listed)[0].isDefault);

    pulse.stop();
    listed.reset();
    capture.listSources([&](std::vector<AudioSource> sources) { listed = std::move(sources); });
    ASSERT_TRUE(test::runEventsUntil([&] { return listed.has_value(); }, 3000));
    EXPECT_TRUE(listed->empty());
}

TEST_F(PulseAudioCaptureTest, ListeningWritesNoFileInHomeRuntimeOrTemporaryFolders) {
    test::PulseServer pulse(dir.path() / "server");
    writeTaps(dir.path() / "server" / "taps.wav", {0.2, 0.5}, 0.8);
    // A temporary folder of the test's own: the machine's is busy with other programs' files.
    std::filesystem::create_directories(dir.path() / "tmp");
    test::ScopedEnv tmp("TMPDIR", (dir.path() / "tmp").c_str());
    int watch = inotify_init1(IN_NONBLOCK);
    auto events = IN_CREATE | IN_MODIFY | IN_MOVED_TO | IN_CLOSE_WRITE;
    for (auto folder : {dir.path() / "server" / "home", dir.path() / "server" / "home" / ".config" / "pulse",
                        dir.path() / "server" / "run", dir.path() / "server" / "run" / "pulse",
                        dir.path() / "tmp"})
        ASSERT_GE(inotify_add_watch(watch, folder.c_str(), events), 0) << folder;

    PulseAudioCapture capture(loop);
    Listener heard(capture);
    capture.open({});
    std::thread player([&] { pulse.play(dir.path() / "server" / "taps.wav"); });
    test::runEventsUntil([&] { return heard.onsets.size() >= 2; }, 5000);
    player.join();
    capture.close();
    EXPECT_EQ(heard.onsets.size(), 2u);

    std::vector<std::string> written;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
        for (char* p = buffer; p < buffer + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event*>(p)->len)
            if (auto* e = reinterpret_cast<inotify_event*>(p); e->len) written.emplace_back(e->name);
    ::close(watch);
    EXPECT_TRUE(written.empty()) << written.front();
}

TEST(FrameHandoff, HoldsOnlyTheNewestQuarterSecondWithTheTimeOfItsFirstFrame) {
    FrameHandoff handoff(Seconds(0.25));
    const AudioFormat stereo{48000, 2};
    MonotonicTime start{};
    std::vector<float> fragment(480 * 2, 0.5f), out;
    AudioFormat format;
    // The first put asks for a take; more before the take do not.
    EXPECT_TRUE(handoff.put(stereo, start, fragment.data(), fragment.size()));
    EXPECT_FALSE(handoff.put(stereo, start + toSteady(Seconds(0.01)), fragment.data(), fragment.size()));
    EXPECT_EQ(handoff.take(out, format), start);
    EXPECT_EQ(out.size(), 2 * fragment.size());
    EXPECT_EQ(format, stereo);

    // A main loop that stalls for a second loses the oldest sound, not the newest, and memory stays bounded.
    for (int i = 0; i < 100; ++i)
        handoff.put(stereo, start + toSteady(Seconds(0.01 * i)), fragment.data(), fragment.size());
    EXPECT_EQ(handoff.heldFrames(), 12000u);
    EXPECT_NEAR(Seconds(handoff.take(out, format) - start).count(), 0.75, 1e-6);

    // A new format (another source) starts afresh; a half frame is never held.
    handoff.put(stereo, start, fragment.data(), fragment.size());
    EXPECT_TRUE(handoff.put(AudioFormat{44100, 1}, start, fragment.data(), 441));
    EXPECT_EQ(handoff.heldFrames(), 441u);
    handoff.put(stereo, start, fragment.data(), 3);
    EXPECT_EQ(handoff.heldFrames(), 1u);
}
