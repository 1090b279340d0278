#include "controller/MicrophoneListening.h"
#include "AppDelegateHarness.h"
#include "sensing/SoundTapSource.h"
#include "sensing/SyntheticSound.h"

#include <gtest/gtest.h>

using namespace knokle;
using State = AudioCapture::State;

namespace {

// Open while the microphone's source is started, as the desktop's microphone indicator would show; the test hands
// sound over while it is open.
struct FakeCapture final : AudioCapture {
    bool opened = false;
    int opens = 0;
    std::string name;
    void open(const std::string& source) override { opened = true, ++opens, name = source, said(State::listening); }
    void close() override { opened = false, said(State::stopped); }
    bool isOpen() const override { return opened; }
    void said(State state) {
        if (onStateChanged) onStateChanged(state, "");
    }
};

struct FakeActivity final : InputActivityMonitor {
    std::function<void(double)> handler;
    bool start(std::function<void(double)> h) override { return handler = std::move(h), true; }
    void stop() override { handler = nullptr; }
};

struct FakeMicrophoneSource final : TapSource {
    std::unique_ptr<FakeCapture> capture = std::make_unique<FakeCapture>();
    std::string name() const override { return "microphone"; }
    void start() override { capture->open({}); }
    void stop() override { capture->close(); }
    void reset() override {}
    void setLevel(int) override {}
    int level() const override { return 2; }
    double levelThreshold() const override { return 0.12; }
    void setSequenceActive(bool) override {}
};

struct FakePrivacy final : SessionPrivacy {
    bool disabled = false, locked = false;
    bool microphoneDisabled() const override { return disabled; }
    bool sessionLocked() const override { return locked; }
    void set(bool d, bool l) { disabled = d, locked = l, onChanged(); }
};

// The program without an accelerometer, with a microphone it may listen to.
struct Laptop : test::AppHarness {
    FakePrivacy desktop;
    FakeCapture* capture = nullptr;
    Laptop() {
        hid.devices.emplace();
        privacy = &desktop;
        microphone = [this] {
            auto source = std::make_unique<FakeMicrophoneSource>();
            capture = source->capture.get();
            return std::pair<std::unique_ptr<TapSource>, AudioCapture*>(std::move(source), capture);
        };
    }
    std::optional<MenuItem> menuItem(const std::string& title) {
        for (const auto& item : app->menuContent())
            if (item.displayText() == title) return item;
        return std::nullopt;
    }
    bool listening() const { return capture && capture->opened; }
};

} // namespace

TEST(MicrophoneListening, TheSourceAndWhetherToListenFollowTheRules) {
    using C = TapSourceChoice;
    using K = TapSourceKind;
    using F = AccelerometerFit;
    const struct {
        C choice;
        F accelerometer;
        bool enabled;
        K expected;
    } sources[] = {
        {C::automatic, F::usable, true, K::accelerometer},   {C::automatic, F::absent, true, K::microphone},
        {C::automatic, F::absent, false, K::none},           {C::accelerometer, F::absent, true, K::none},
        {C::microphone, F::usable, true, K::microphone},     {C::microphone, F::usable, false, K::none},
        {C::automatic, F::tooSlow, true, K::microphone}, // a slow one gives way to listening
        {C::automatic, F::tooSlow, false, K::accelerometer}, {C::accelerometer, F::tooSlow, true, K::accelerometer}};
    for (const auto& row : sources)
        EXPECT_EQ(chooseTapSource(row.choice, row.accelerometer, row.enabled), row.expected) << &row - sources;

    // Armed or testing, turned on, allowed and unlocked: only then.
    const ListeningConditions listens[] = {{true, false, false, true, false}, {true, false, false, false, true}};
    const ListeningConditions silent[] = {{true, false, false, false, false},
                                          {false, false, false, true, true},
                                          {true, true, false, true, true},
                                          {true, false, true, true, true}};
    for (const auto& c : listens)
        EXPECT_TRUE(shouldListen(c)) << &c - listens;
    for (const auto& c : silent)
        EXPECT_FALSE(shouldListen(c)) << &c - silent;
}

TEST(MicrophoneListening, TurnedOnOnlyAfterTheExplanationAndOpenOnlyWhileArmedOrTesting) {
    Laptop laptop;
    laptop.launch();
    // No sensor: the alert offers the microphone; declining the explanation leaves everything off.
    ASSERT_EQ(laptop.alerts.shown.size(), 1u);
    EXPECT_EQ(laptop.alerts.shown[0].buttons.back(), "Use the Microphone…");
    laptop.alerts.answer = 1;
    laptop.app->perform(*laptop.menuItem("Listen with the Microphone…"));
    EXPECT_EQ(laptop.alerts.shown.back().messageText, "Listen for taps with the microphone?");
    EXPECT_NE(laptop.alerts.shown.back().informativeText.find("nothing is recorded, kept or sent"), std::string::npos);
    EXPECT_FALSE(laptop.settings().microphoneEnabled());
    EXPECT_EQ(laptop.capture, nullptr);

    laptop.alerts.answer = 0;
    laptop.app->perform(*laptop.menuItem("Listen with the Microphone…"));
    EXPECT_TRUE(laptop.settings().microphoneEnabled());
    ASSERT_NE(laptop.capture, nullptr);
    EXPECT_FALSE(laptop.listening()) << "taps are paused";
    EXPECT_TRUE(laptop.menuItem("    Not listening while taps are paused"));

    laptop.app->setArmed(true);
    EXPECT_TRUE(laptop.listening());
    laptop.capture->onStateChanged(State::muted, "The microphone is muted");
    EXPECT_TRUE(laptop.menuItem("    The microphone is muted"));
    EXPECT_EQ(laptop.said().back(), "[microphone] The microphone is muted");
    laptop.app->setArmed(false);
    EXPECT_FALSE(laptop.listening());
    laptop.app->showCalibration();
    EXPECT_TRUE(laptop.listening()) << "Test Taps listens while open";
    EXPECT_TRUE(laptop.calibration->shows("note Listening to the default microphone"));
    laptop.calibration->close();
    EXPECT_FALSE(laptop.listening());

    // Locking the screen or the privacy switch closes the stream; unlocking opens it again.
    laptop.app->setArmed(true);
    laptop.desktop.set(false, true);
    EXPECT_FALSE(laptop.listening());
    laptop.desktop.set(false, false);
    EXPECT_TRUE(laptop.listening());
    laptop.desktop.set(true, false);
    EXPECT_FALSE(laptop.listening());
    EXPECT_TRUE(laptop.menuItem("    Microphone turned off in Privacy settings"));
    laptop.desktop.set(false, false);

    // Turned off from the menu: closed, and stays closed while armed.
    laptop.app->perform(*laptop.menuItem("Listen with the Microphone"));
    EXPECT_FALSE(laptop.settings().microphoneEnabled());
    EXPECT_FALSE(laptop.listening());
    EXPECT_EQ(laptop.capture->opens, 5);
}

TEST(MicrophoneListening, ThePrivacySwitchRefusesAndAnEarlierChoiceNeedsNoQuestion) {
    Laptop refused;
    refused.desktop.disabled = true;
    refused.launch();
    refused.alerts.answer = 2; // "Use the Microphone…" in the no-sensor alert
    refused.app->reopen();
    EXPECT_EQ(refused.alerts.shown.back().messageText, "The microphone is turned off");
    EXPECT_FALSE(refused.settings().microphoneEnabled());
    EXPECT_EQ(refused.capture, nullptr);

    // Turned on before: no sensor means the microphone at once, without the no-sensor alert.
    Laptop earlier;
    earlier.defaults.values["microphoneEnabled"] = true;
    earlier.defaults.values["tapsActive"] = true;
    earlier.launch();
    EXPECT_TRUE(earlier.alerts.shown.empty());
    EXPECT_TRUE(earlier.listening());
    EXPECT_TRUE(earlier.menuItem("Taps Active  (Super+Alt+T)"));
}

TEST(MicrophoneListening, BesideAWorkingAccelerometerTheMicrophoneIsOfferedOnlyWhenChosen) {
    for (bool chosen : {false, true}) {
        Laptop laptop;
        laptop.accelerometer = laptop.hid.addDevice();
        if (chosen) laptop.defaults.values["tapSource"] = std::string("microphone");
        laptop.launch();
        EXPECT_EQ(laptop.menuItem("Listen with the Microphone").has_value(), chosen);
    }
}

TEST(MicrophoneTaps, AKeyPressAtATapsTimeKeepsItFromCountingAndAPickedMicrophoneIsOpened) {
    FakeActivity keys; // outlives the program, as the desktop's monitor does
    Laptop laptop;
    laptop.inputActivity = &keys;
    laptop.defaults.values = {{"didOnboard", true}, {"microphoneEnabled", true}, {"tapsActive", true}};
    laptop.microphone = [&] { // the real detector behind the fake capture
        auto feed = std::make_unique<FakeCapture>();
        laptop.capture = feed.get();
        auto source = std::make_unique<SoundTapSource>(laptop.env.loop, std::move(feed), laptop.settings().microphoneSource());
        return std::pair<std::unique_ptr<TapSource>, AudioCapture*>(std::move(source), laptop.capture);
    };
    laptop.launch();
    ASSERT_TRUE(laptop.listening() && keys.handler);
    // A knock at 0.5 s, in 10 ms blocks at the loop's time, as the capture hands them over.
    auto play = [&] {
        std::vector<float> frames = SyntheticSound().tap(0.5, SoundTapShape{.peakDb = 32}).extend(3.0).render();
        const double start = laptop.env.loop.elapsed();
        for (std::size_t at = 0; at < frames.size(); at += 480) {
            laptop.env.loop.advance(start + static_cast<double>(at + 480) / 48000 - laptop.env.loop.elapsed());
            laptop.capture->onFrames(frames.data() + at, 480, {48000, 1}, start + static_cast<double>(at) / 48000);
        }
        laptop.env.loop.runPending();
        return std::ranges::count_if(laptop.said(), [](const std::string& l) { return l.starts_with("[impact]"); });
    };
    EXPECT_EQ(play(), 1);
    keys.handler(laptop.env.loop.elapsed() + 0.45); // a key went down 50 ms before the knock: typing
    EXPECT_EQ(play(), 1);
    EXPECT_EQ(play(), 2) << "an old press vetoes nothing later";
    laptop.app->perform(microphoneChoices({{"usb_mic", "USB", false, false}}, "")[2]); // the row "USB"
    EXPECT_TRUE(laptop.listening() && laptop.capture->name == "usb_mic" &&
                laptop.settings().microphoneSource() == "usb_mic");
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
