#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <string>

namespace knokle {

// The box that records a new shortcut: a click starts listening, the next key with a modifier becomes the
// shortcut. While it listens it sees every key press of the application, before any window shortcut.
class HotkeyRecorder : public QWidget {
public:
    explicit HotkeyRecorder(const std::string& display, QWidget* parent = nullptr);
    ~HotkeyRecorder() override;

    std::function<void(std::uint32_t keyCode, std::uint32_t modifiers, const std::string& display)> onChange;
    // Listening starts (true) or stops (false): the program's own global grab must step aside meanwhile.
    std::function<void(bool)> onRecordingChange;
    // The system beep for a key without a modifier; replaceable for tests.
    std::function<void()> beep;

    bool isRecording() const { return recording; }
    const std::string& label() const { return text; }
    // Shows another description of the same shortcut (the one the desktop reports); ignored while listening.
    void setLabel(const std::string& label);
    // What the box shows now.
    QString shownText() const;

    void startRecording();
    void stopRecording();

    QSize sizeHint() const override { return {130, 30}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A key press seen while listening; true when it is swallowed.
    bool handleKey(QKeyEvent* event);

    bool recording = false;
    std::string text;
    QPointer<QWidget> watchedWindow;
};

} // namespace knokle
