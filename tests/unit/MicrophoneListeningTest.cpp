#include "AppDelegateHarness.h"
#include "controller/MicrophoneListening.h"

#include <gtest/gtest.h>

using namespace knokle;
using State = AudioCapture::State;

namespace {

// Records whether the stream is open, as the desktop's microphone indicator would.
struct FakeCapture final : AudioCapture {
    bool opened = false;
    std::vector<std::string> journal;
    void open(const std::string& name) override {
        opened = true;
        journal.push_back("open " + name);
    }
    void close() override {
        opened = false;
        journal.push_back("close");
    }
    bool isOpen() const override { return opened; }
    void listSources(std::function<void(std::vector<AudioSource>)> handler) override { handler({}); }
    void say(State state, const std::string& reason = {}) { onStateChanged(state, reason); }
};

// Opens its capture while started, as the microphone's source does.
struct FakeMicrophoneSource final : TapSource {
    std::unique_ptr<FakeCapture> capture = std::make_unique<FakeCapture>();
    int levelValue = 2;
    std::string name() const override { return "microphone"; }
    void start() override { capture->open({}); }
    void stop() override { capture->close(); }
    void reset() override {}
    void setLevel(int l) override { levelValue = l; }
    int level() const override { return levelValue; }
    double levelThreshold() const override { return 0.12; }
    void setSequenceActive(bool) override {}
};

struct FakePrivacy final : SessionPrivacy {
    bool disabled = false, locked = false;
    bool microphoneDisabled() const override { return disabled; }
    bool sessionLocked() const override { return locked; }
    void set(bool d, bool l) {
        disabled = d, locked = l;
        onChanged();
    }
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
    const MenuItem* menuItem(const std::string& title) {
        for (const auto& item : app->menuNeedsUpdate())
            if (item.displayText() == title) return &(lastMenu = item);
        return nullptr;
    }
    MenuItem lastMenu;
    bool listening() const { return capture && capture->opened; }
};

} // namespace

TEST(MicrophoneListening, TheSourceAndWhetherToListenFollowTheRules) {
    using C = TapSourceChoice;
    using K = TapSourceKind;
    const struct {
        C choice;
        bool accelerometer, enabled;
        K expected;
    } sources[] = {{C::automatic, true, true, K::accelerometer},     {C::automatic, false, true, K::microphone},
                   {C::automatic, false, false, K::none},            {C::accelerometer, false, true, K::none},
                   {C::microphone, true, true, K::microphone},       {C::microphone, true, false, K::none}};
    for (const auto& row : sources)
        EXPECT_EQ(chooseTapSource(row.choice, row.accelerometer, row.enabled), row.expected) << &row - sources;

    const struct {
        ListeningConditions conditions;
        bool listens;
        std::string note;
    } rows[] = {
        {{true, false, false, true, false}, true, "Listening to the default microphone"},
        {{true, false, false, false, true}, true, "Listening to the default microphone"}, // Test Taps open
        {{true, false, false, false, false}, false, "Not listening while taps are paused"},
        {{false, false, false, true, true}, false, ""},
        {{true, true, false, true, true}, false, "Microphone turned off in Privacy settings"},
        {{true, false, true, true, true}, false, "Not listening while the screen is locked"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(shouldListen(row.conditions), row.listens) << &row - rows;
        EXPECT_EQ(microphoneMenuNote(row.conditions, State::listening, ""), row.note) << &row - rows;
    }
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
    laptop.capture->say(State::muted, "The microphone is muted");
    EXPECT_TRUE(laptop.menuItem("    The microphone is muted"));
    EXPECT_EQ(laptop.said().back(), "[microphone] The microphone is muted");
    laptop.app->setArmed(false);
    EXPECT_FALSE(laptop.listening());
    laptop.app->showCalibration();
    EXPECT_TRUE(laptop.listening()) << "Test Taps listens while open";
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
    EXPECT_EQ(laptop.capture->journal, (std::vector<std::string>{"open ", "close", "open ", "close", "open ", "close",
                                                                 "open ", "close", "open ", "close"}));
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
    EXPECT_TRUE(earlier.menuItem("Taps Active  (⌥⌘T)"));
}
