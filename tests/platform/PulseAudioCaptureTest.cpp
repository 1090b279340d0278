#include "platform/linux/audio/PulseAudioCapture.h"
#include "platform/linux/runtime/QtMainLoop.h"

#include "PulseServer.h"
#include "QtEventLoop.h"
#include "ScopedEnv.h"
#include "TempDir.h"

#include <atomic>
#include <cmath>
#include <mutex>
#include <gtest/gtest.h>
#include <sys/inotify.h>

using namespace knokle;
using State = AudioCapture::State;

namespace {

// Knuckle-like taps at the given times: a low tone dying away in tens of milliseconds, 16-bit stereo at 48 kHz.
void writeTaps(const std::filesystem::path& file, const std::vector<double>& times, double length) {
    const std::uint32_t rate = 48000, bytes = std::uint32_t(length * rate) * 4;
    std::vector<std::int16_t> samples(bytes / 2, 0);
    for (double at : times)
        for (std::size_t i = 0, first = std::size_t(at * rate); i < rate / 10 && first + i < bytes / 4; ++i)
            samples[2 * (first + i)] = samples[2 * (first + i) + 1] =
                std::int16_t(26000 * std::exp(-double(i) / 576) * std::sin(2 * M_PI * 220 * double(i) / rate));
    const std::uint32_t header[] = {0x46464952, 36 + bytes, 0x45564157, 0x20746d66, 16,   0x00020001,
                                    rate,       rate * 4,   0x00100004, 0x61746164, bytes};
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(header), sizeof header);
    out.write(reinterpret_cast<const char*>(samples.data()), bytes);
}

// Everything a capture delivered: its states, and the times at which loud onsets began. Frames come on the
// capture's thread, states on the main loop.
struct Listener {
    std::vector<std::pair<State, std::string>> states;
    std::mutex framesLock;
    std::vector<double> onsets;
    std::atomic<std::size_t> frames = 0;
    AudioFormat format;
    int sinceLoud = 1 << 30;

    explicit Listener(AudioCapture& capture) {
        capture.onStateChanged = [this](State s, const std::string& why) { states.emplace_back(s, why); };
        capture.onFrames = [this](const float* samples, std::size_t count, AudioFormat f, double firstFrameTime) {
            std::lock_guard lock(framesLock);
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
    std::vector<double> onsetTimes() {
        std::lock_guard lock(framesLock);
        return onsets;
    }
};

class PulseAudioCaptureTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::pulseServerInstalled()) GTEST_SKIP() << "pulseaudio and pulseaudio-utils are not installed";
        test::ensureQtApplication();
        std::filesystem::create_directories(dir / "tmp");
    }
    bool waitFor(State s, int ms = 3000) { return test::runEventsUntil([&] { return heard.reached(s); }, ms); }

    test::TempDir dir;
    // Client and server share a home and runtime folder, as in a desktop session (where the server made the cookie
    // a client reads); the temporary folder is the test's own, the machine's being busy with other programs.
    test::ScopedEnv home{"HOME", (dir / "server/home").c_str()}, runtime{"XDG_RUNTIME_DIR", (dir / "server/run").c_str()};
    test::ScopedEnv server{"PULSE_SERVER", ("unix:" + (dir / "server/native").string()).c_str()};
    test::ScopedEnv tmp{"TMPDIR", (dir / "tmp").c_str()};
    QtMainLoop loop;
    PulseAudioCapture capture{loop, {.firstRetry = Seconds(0.1), .longestRetry = Seconds(0.4)}};
    Listener heard{capture};
};

} // namespace

TEST_F(PulseAudioCaptureTest, TapsPlayedIntoTheSinkArriveAtTheirSpacingAndNothingIsWritten) {
    test::PulseServer pulse(dir / "server");
    writeTaps(dir / "taps.wav", {0.3, 0.6, 1.05}, 1.4);
    int watch = inotify_init1(IN_NONBLOCK);
    for (const char* folder : {"server/home", "server/home/.config/pulse", "server/run", "server/run/pulse", "tmp"})
        ASSERT_GE(inotify_add_watch(watch, (dir / folder).c_str(), IN_CREATE | IN_MODIFY | IN_MOVED_TO), 0) << folder;

    std::vector<AudioSource> listed;
    capture.listSources([&](std::vector<AudioSource> sources) { listed = std::move(sources); });
    capture.open({});
    ASSERT_TRUE(test::runEventsUntil([&] { return heard.reached(State::listening) && !listed.empty(); }, 5000));
    EXPECT_TRUE(listed.size() == 1 && listed[0].name == "taps.monitor" && listed[0].isMonitor && listed[0].isDefault);
    // The desktop's indicator and sound settings name who listens.
    std::string outputs = pulse.pactl("list source-outputs");
    for (const char* property :
         {"application.name = \"Knokle\"", "application.icon_name = \"org.knokle.Knokle\"", "media.role = \"production\""})
        EXPECT_NE(outputs.find(property), std::string::npos) << property << "\n" << outputs;

    std::thread player([&] { pulse.play(dir / "taps.wav"); });
    test::runEventsUntil([&] { return heard.onsetTimes().size() >= 3; }, 6000);
    std::vector<double> onsets = heard.onsetTimes();
    player.join();
    {
        std::lock_guard lock(heard.framesLock);
        EXPECT_EQ(heard.format, (AudioFormat{48000, 2}));
    }
    ASSERT_EQ(onsets.size(), 3u);
    // The frames' times keep the taps' spacing to within a fragment or two.
    EXPECT_NEAR(onsets[1] - onsets[0], 0.30, 0.02);
    EXPECT_NEAR(onsets[2] - onsets[1], 0.45, 0.02);

    // Closed, the stream is gone from the server and nothing more arrives.
    capture.close();
    std::size_t framesAtClose = heard.frames;
    test::runEventsFor(100);
    EXPECT_EQ(heard.frames, framesAtClose);
    EXPECT_TRUE(heard.reached(State::stopped));
    EXPECT_EQ(pulse.pactl("list short source-outputs"), "");

    char buffer[4096];
    ssize_t written = ::read(watch, buffer, sizeof buffer);
    ::close(watch);
    EXPECT_LE(written, 0) << "a file was written: " << reinterpret_cast<inotify_event*>(buffer)->name;
}

TEST_F(PulseAudioCaptureTest, NoServerIsSaidOnceTheCaptureRecoversAndMutedAndMissingSourcesAreFollowed) {
    test::PulseServer pulse(dir / "server", false);
    capture.open({});
    ASSERT_TRUE(waitFor(State::serverMissing));
    EXPECT_EQ(heard.states.back().second, "No sound server answers (Connection refused)");
    test::runEventsFor(600); // several quiet retries
    EXPECT_EQ(heard.states.size(), 1u);

    ASSERT_TRUE(pulse.start());
    ASSERT_TRUE(waitFor(State::listening));
    pulse.stop(); // the server goes away mid-stream
    ASSERT_TRUE(waitFor(State::serverMissing));
    ASSERT_TRUE(pulse.start());
    ASSERT_TRUE(waitFor(State::listening));
    std::size_t before = heard.frames;
    EXPECT_TRUE(test::runEventsUntil([&] { return heard.frames > before + 4800; }, 3000)) << "frames flow again";

    // A source muted, then unmuted; one the user picked that is not there (yet) is gone until it is plugged in.
    capture.open("taps.monitor");
    ASSERT_TRUE(waitFor(State::listening));
    pulse.pactl("set-source-mute taps.monitor 1");
    EXPECT_TRUE(waitFor(State::muted));
    pulse.pactl("set-source-mute taps.monitor 0");
    EXPECT_TRUE(waitFor(State::listening));
    capture.open("later.monitor");
    ASSERT_TRUE(waitFor(State::sourceGone));
    EXPECT_EQ(heard.states.back().second, "There is no later.monitor");
    std::string module = pulse.pactl("load-module module-null-sink sink_name=later");
    ASSERT_TRUE(waitFor(State::listening));
    // Unplugged while listening: gone again, not moved to another source behind the user's back.
    pulse.pactl("unload-module " + module.substr(0, module.find('\n')));
    EXPECT_TRUE(waitFor(State::sourceGone));
    EXPECT_EQ(pulse.pactl("list short source-outputs"), "");
}
