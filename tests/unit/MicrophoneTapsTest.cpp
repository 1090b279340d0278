#include "AppDelegateHarness.h"
#include "sensing/SoundTapSource.h"
#include "sensing/SyntheticSound.h"

#include <gtest/gtest.h>

using namespace knokle;
using State = AudioCapture::State;

namespace {

// Sound the test hands over while the stream is open, and the microphones the server would list.
struct FeedCapture final : AudioCapture {
    bool opened = false;
    std::string openedOn;
    std::vector<AudioSource> there;
    void open(const std::string& name) override {
        opened = true, openedOn = name, onStateChanged(State::listening, "");
    }
    void close() override { opened = false, onStateChanged(State::stopped, ""); }
    bool isOpen() const override { return opened; }
    void listSources(std::function<void(std::vector<AudioSource>)> handler) override { handler(there); }
};

struct FakeActivity final : InputActivityMonitor {
    std::function<void(double)> handler;
    bool start(std::function<void(double)> h) override { return handler = std::move(h), true; }
    void stop() override { handler = nullptr; }
};

// No accelerometer; the real microphone source and detector over a capture the test feeds.
struct Listener : test::AppHarness {
    FakeActivity keys;
    FeedCapture* capture = nullptr;
    int made = 0;
    std::vector<AudioSource> there = {{"alsa_input.pci.analog-stereo", "Built-in Audio", false, true},
                                      {"alsa_output.pci.analog-stereo.monitor", "Monitor of Built-in Audio", true},
                                      {"bluez_input.headset", "Headset", false, false}};
    Listener() {
        hid.devices.emplace();
        inputActivity = &keys;
        defaults.values["microphoneEnabled"] = true;
        defaults.values["tapSource"] = std::string("microphone");
        defaults.values["tapsActive"] = true;
        microphone = [this] {
            auto feed = std::make_unique<FeedCapture>();
            feed->there = there;
            capture = feed.get();
            ++made;
            auto source = std::make_unique<SoundTapSource>(std::move(feed), settings().microphoneSource());
            return std::pair<std::unique_ptr<TapSource>, AudioCapture*>(std::move(source), capture);
        };
    }
    // Plays the clip in 10 ms blocks at the loop's time, as the capture thread would hand them over.
    void play(const SyntheticSound& sound) {
        std::vector<float> frames = sound.render();
        const double start = env.loop.elapsed();
        for (std::size_t at = 0; at < frames.size(); at += 480) {
            std::size_t n = std::min<std::size_t>(480, frames.size() - at);
            env.loop.advance(start + static_cast<double>(at + n) / 48000 - env.loop.elapsed());
            if (capture && capture->opened)
                capture->onFrames(frames.data() + at, n, {48000, 1}, start + static_cast<double>(at) / 48000);
        }
        env.loop.runPending();
    }
    std::vector<std::string> rows() {
        std::vector<std::string> out;
        for (const auto& item : app->menuContent())
            if (item.action == MenuAction::chooseMicrophone)
                out.push_back(item.displayText() + (item.checked ? " *" : ""));
        return out;
    }
    void choose(const std::string& title) {
        for (const auto& item : app->menuContent())
            if (item.displayText() == title) return app->perform(item);
        ADD_FAILURE() << "no row " << title;
    }
    int impacts() const {
        return static_cast<int>(
            std::ranges::count_if(said(), [](const std::string& l) { return l.starts_with("[impact]"); }));
    }
};

} // namespace

TEST(MicrophoneTaps, AKeyPressAtATapsTimeKeepsItFromCounting) {
    Listener laptop;
    laptop.launch();
    ASSERT_TRUE(laptop.capture && laptop.capture->opened);
    ASSERT_TRUE(laptop.keys.handler) << "presses are watched while the microphone listens";
    SyntheticSound quiet;
    quiet.extend(1.0);
    laptop.play(quiet); // the floor settles
    SyntheticSound knock;
    knock.tap(0.5, SoundTapShape{.peakDb = 32}).extend(3.0);
    laptop.play(knock);
    EXPECT_EQ(laptop.impacts(), 1);

    // The same knock, but a key went down 50 ms before it: typing, not a tap.
    laptop.keys.handler(laptop.env.loop.elapsed() + 0.45);
    laptop.play(knock);
    EXPECT_EQ(laptop.impacts(), 1);
    laptop.play(knock);
    EXPECT_EQ(laptop.impacts(), 2) << "an old press vetoes nothing later";

    laptop.app->setArmed(false);
    EXPECT_FALSE(laptop.keys.handler) << "nothing is watched while not listening";
}

TEST(MicrophoneTaps, TheMenuPicksTheMicrophoneAndTheStreamReopensOnIt) {
    Listener laptop;
    laptop.launch();
    EXPECT_EQ(laptop.rows(),
              (std::vector<std::string>{"        Default *", "        Built-in Audio", "        Headset"}));

    laptop.choose("        Headset");
    EXPECT_EQ(laptop.settings().microphoneSource(), "bluez_input.headset");
    EXPECT_EQ(laptop.made, 2);
    EXPECT_TRUE(laptop.capture->opened);
    EXPECT_EQ(laptop.capture->openedOn, "bluez_input.headset");
    EXPECT_EQ(laptop.rows()[2], "        Headset *");

    // Unplugged: still shown as the choice, so the user sees why nothing is heard.
    laptop.there.pop_back();
    laptop.choose("        Built-in Audio");
    laptop.defaults.values["microphoneSource"] = std::string("bluez_input.headset");
    laptop.app->menuContent();
    EXPECT_EQ(laptop.rows().back(), "        bluez_input.headset (not connected) *");

    laptop.choose("        Default");
    EXPECT_EQ(laptop.capture->openedOn, "");
    EXPECT_FALSE(laptop.defaults.values.contains("microphoneSource"));
    EXPECT_EQ(laptop.made, 4);
}
