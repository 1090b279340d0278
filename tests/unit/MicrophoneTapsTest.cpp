#include "AppDelegateHarness.h"
#include "sensing/SoundTapSource.h"
#include "sensing/SyntheticSound.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

struct FeedCapture final : AudioCapture { // the test hands sound over while it is open
    bool opened = false;
    std::string name;
    void open(const std::string& source) override { opened = true, name = source; }
    void close() override { opened = false; }
    bool isOpen() const override { return opened; }
};

struct FakeActivity final : InputActivityMonitor {
    std::function<void(double)> handler;
    bool start(std::function<void(double)> h) override { return handler = std::move(h), true; }
    void stop() override { handler = nullptr; }
};

} // namespace

TEST(MicrophoneTaps, AKeyPressAtATapsTimeKeepsItFromCountingAndAPickedMicrophoneIsOpened) {
    FakeActivity keys; // outlives the program, as the desktop's monitor does
    test::AppHarness laptop;
    FeedCapture* capture = nullptr;
    laptop.hid.devices.emplace(); // no accelerometer
    laptop.inputActivity = &keys;
    laptop.defaults.values = {{"didOnboard", true}, {"microphoneEnabled", true}, {"tapsActive", true}};
    laptop.microphone = [&] {
        auto feed = std::make_unique<FeedCapture>();
        capture = feed.get();
        auto source = std::make_unique<SoundTapSource>(std::move(feed), laptop.settings().microphoneSource());
        return std::pair<std::unique_ptr<TapSource>, AudioCapture*>(std::move(source), capture);
    };
    laptop.launch();
    ASSERT_TRUE(capture && capture->opened && keys.handler);
    // A knock at 0.5 s, in 10 ms blocks at the loop's time, as the capture hands them over.
    auto play = [&] {
        std::vector<float> frames = SyntheticSound().tap(0.5, SoundTapShape{.peakDb = 32}).extend(3.0).render();
        const double start = laptop.env.loop.elapsed();
        for (std::size_t at = 0; at < frames.size(); at += 480) {
            laptop.env.loop.advance(start + static_cast<double>(at + 480) / 48000 - laptop.env.loop.elapsed());
            capture->onFrames(frames.data() + at, 480, {48000, 1}, start + static_cast<double>(at) / 48000);
        }
        laptop.env.loop.runPending();
        return std::ranges::count_if(laptop.said(), [](const std::string& l) { return l.starts_with("[impact]"); });
    };
    EXPECT_EQ(play(), 1);
    keys.handler(laptop.env.loop.elapsed() + 0.45); // a key went down 50 ms before the knock: typing
    EXPECT_EQ(play(), 1);
    EXPECT_EQ(play(), 2) << "an old press vetoes nothing later";
    laptop.app->perform(microphoneChoices({{"usb_mic", "USB", false, false}}, "")[2]); // the row "USB"
    EXPECT_TRUE(capture->opened && capture->name == "usb_mic" && laptop.settings().microphoneSource() == "usb_mic");
    laptop.app->setArmed(false);
    EXPECT_FALSE(keys.handler) << "nothing is watched while not listening";
}

TEST(MicrophoneTaps, TheMenuOffersEachMicrophoneAndMarksTheStoredOne) {
    const std::vector<AudioSource> there = {{"alsa_input.analog", "Built-in Audio", false, true},
                                            {"alsa_output.analog.monitor", "Monitor of Built-in Audio", true},
                                            {"bluez_input.headset", "", false, false}};
    const struct {
        std::string stored;
        std::vector<std::string> rows; // checked ones end in " *"
    } cases[] = {
        {"", {"Default *", "Built-in Audio", "bluez_input.headset"}},
        {"bluez_input.headset", {"Default", "Built-in Audio", "bluez_input.headset *"}},
        {"alsa_output.analog.monitor",
         {"Default", "Built-in Audio", "Monitor of Built-in Audio *", "bluez_input.headset"}},
        {"usb_mic", {"Default", "Built-in Audio", "bluez_input.headset", "usb_mic (not connected) *"}},
    };
    for (const auto& c : cases) {
        std::vector<std::string> shown;
        for (const MenuItem& row : microphoneChoices(there, c.stored))
            if (row.action == MenuAction::chooseMicrophone)
                shown.push_back(row.title.substr(8) + (row.checked ? " *" : ""));
        EXPECT_EQ(shown, c.rows) << c.stored;
    }
    auto rows = microphoneChoices(there, "");
    EXPECT_EQ(rows[1].choice, "") << "Default";
    EXPECT_EQ(rows[2].choice, "alsa_input.analog");
    EXPECT_TRUE(microphoneChoices({}, "").empty()) << "no list: no choice shown";
}
