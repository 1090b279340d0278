#include "VirtualLoop.h"
#include "sensing/EventLog.h"
#include "sensing/SlapCounter.h"
#include "sensing/SoundTapSource.h"
#include "sensing/SyntheticSound.h"
#include "sensing/WavReplayCapture.h"

#include <gtest/gtest.h>
#include <thread>

using namespace knokle;

namespace {

// The bundled sound demo, played as the program plays it: a WAV replay as the microphone, its source's impacts
// counted at the default level.
TEST(SoundReplay, BundledDemoYieldsOneTwoAndThreeTapGestures) {
    test::VirtualLoop loop;
    auto capture = std::make_unique<WavReplayCapture>(loop, KNOKLE_SOURCE_DIR "/share/demo/gestures.wav", 1.0,
                                                      [] { return 500.0; });
    WavReplayCapture& replay = *capture;
    SoundTapSource source(loop, std::move(capture));
    EventLog quiet("/dev/null", false);
    source.soundDetector().setEventLog(quiet);
    source.setLevel(2);
    SlapCounter counter(loop);
    counter.initialWindow = 1.3;
    counter.maxWindow = 1.8;
    std::vector<int> gestures;
    std::vector<double> impactTimes;
    source.onImpact = [&](const Impact& impact) {
        impactTimes.push_back(impact.time);
        counter.registerImpact();
    };
    counter.onCountChanged = [&](int) { source.setSequenceActive(true); };
    counter.onGesture = [&](int count) {
        source.setSequenceActive(false);
        gestures.push_back(count);
    };
    bool finished = false;
    replay.onFinished = [&] { finished = true; };

    source.start();
    EXPECT_TRUE(replay.isOpen());
    loop.advance(30);
    EXPECT_TRUE(finished);
    EXPECT_FALSE(replay.endedOnError());
    EXPECT_EQ(gestures, (std::vector<int>{1, 2, 3}));
    // Impacts carry the file's timeline from where the replay started: the first knock lies 4.5 s in.
    ASSERT_FALSE(impactTimes.empty());
    EXPECT_NEAR(impactTimes.front(), 504.5, 0.1);
}

TEST(SoundReplay, UnreadableFileEndsTheReplayAsAnError) {
    test::VirtualLoop loop;
    WavReplayCapture replay(loop, "/nonexistent/clip.wav");
    std::vector<AudioCapture::State> states;
    replay.onStateChanged = [&](AudioCapture::State state, const std::string&) { states.push_back(state); };
    bool finished = false;
    replay.onFinished = [&] { finished = true; };
    replay.open("");
    loop.runPending();
    EXPECT_TRUE(finished);
    EXPECT_TRUE(replay.endedOnError());
    EXPECT_FALSE(replay.isOpen());
    EXPECT_EQ(states, std::vector<AudioCapture::State>{AudioCapture::State::sourceGone});
}

// A live capture hands its fragments over on its own thread.
struct ThreadedCapture final : AudioCapture {
    bool opened = false;
    void open(const std::string&) override { opened = true; }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
    void play(const std::vector<float>& sound, double start) {
        std::thread([&] {
            for (std::size_t at = 0; at + 480 <= sound.size(); at += 480)
                onFrames(sound.data() + at, 480, {48000, 1}, start + double(at) / 48000);
        }).join();
    }
};

TEST(SoundTapSource, TapsJudgedOnTheCaptureThreadAreToldOnTheMainLoopAndNoneAfterStopping) {
    test::VirtualLoop loop;
    auto owned = std::make_unique<ThreadedCapture>();
    ThreadedCapture& capture = *owned;
    SoundTapSource source(loop, std::move(owned));
    EventLog quiet("/dev/null", false);
    source.soundDetector().setEventLog(quiet);
    std::vector<std::pair<double, std::thread::id>> told;
    source.onImpact = [&](const Impact& impact) { told.emplace_back(impact.time, std::this_thread::get_id()); };
    const std::vector<float> knock = SyntheticSound().tap(0.5, SoundTapShape{.peakDb = 32}).extend(1.5).render();

    source.start();
    capture.play(knock, 100);
    EXPECT_TRUE(told.empty());
    loop.runPending();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NEAR(told[0].first, 100.5, 0.1);
    EXPECT_EQ(told[0].second, std::this_thread::get_id());

    capture.play(knock, 102); // judged, but the main loop gets to it only after taps were paused
    source.stop();
    loop.runPending();
    EXPECT_EQ(told.size(), 1u);
}

} // namespace
