#include "widgets/HotkeyRecorder.h"
#include "WidgetTesting.h"

#include <QShortcut>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace knokle;

namespace {

// A window holding the recorder, shown and active, with a Return shortcut like the calibration window's Done.
struct HotkeyRecorderTest : testing::Test {
    void SetUp() override {
        test::ensureWidgetsApplication();
        window = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(window.get());
        recorder = new HotkeyRecorder("⌥⌘T");
        layout->addWidget(recorder);
        auto* done = new QShortcut(QKeySequence(Qt::Key_Return), window.get());
        QObject::connect(done, &QShortcut::activated, [this] { said.push_back("done"); });
        recorder->onChange = [this](std::uint32_t key, std::uint32_t mods, const std::string& display) {
            said.push_back(std::to_string(key) + "/" + std::to_string(mods) + " " + display);
        };
        recorder->onRecordingChange = [this](bool on) { said.push_back(on ? "listening" : "stopped"); };
        recorder->beep = [this] { said.push_back("beep"); };
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QTest::keyClick(window->windowHandle(), key, modifiers);
    }
    void startRecording() {
        test::click(recorder, {10, 10});
        said.clear();
    }

    std::unique_ptr<QWidget> window;
    HotkeyRecorder* recorder = nullptr;
    std::vector<std::string> said;
};

} // namespace

TEST_F(HotkeyRecorderTest, AKeyWithAModifierBecomesTheShortcutAndDestroyedWhileListeningItStops) {
    startRecording();
    EXPECT_EQ(recorder->shownText(), "Press keys");
    press(Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(said, (std::vector<std::string>{"36/2048 ⌥↩", "stopped"}));
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(recorder->label(), "Alt+Return") << "shown in Linux notation, stored as before";
    // Destroyed while listening: it stops first, so the program's shortcut comes back.
    startRecording();
    delete recorder;
    EXPECT_EQ(said, std::vector<std::string>{"stopped"});
}

TEST_F(HotkeyRecorderTest, WithoutAModifierItBeepsAndEscapeKeepsTheOldShortcut) {
    test::click(recorder, {10, 10});
    EXPECT_EQ(said, std::vector<std::string>{"listening"});
    said.clear();
    press(Qt::Key_K);
    press(Qt::Key_Return);
    press(Qt::Key_Shift, Qt::ShiftModifier); // a modifier on its own is not a key press to record
    EXPECT_EQ(said, (std::vector<std::string>{"beep", "beep"})) << "no window shortcut while listening";
    EXPECT_TRUE(recorder->isRecording());
    press(Qt::Key_Escape);
    EXPECT_EQ(said.back(), "stopped");
    EXPECT_EQ(recorder->label(), "⌥⌘T");
    EXPECT_EQ(recorder->shownText(), "⌥⌘T");

    said.clear();
    press(Qt::Key_Return);
    EXPECT_EQ(said, std::vector<std::string>{"done"}) << "keys go their usual way once it stops";
}

TEST_F(HotkeyRecorderTest, ASecondClickOrAnotherWindowStopsIt) {
    test::click(recorder, {10, 10});
    test::click(recorder, {10, 10});
    EXPECT_EQ(said, (std::vector<std::string>{"listening", "stopped"}));
    EXPECT_EQ(recorder->label(), "⌥⌘T");

    startRecording();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_EQ(said, std::vector<std::string>{"stopped"});
    EXPECT_FALSE(recorder->isRecording());
}
