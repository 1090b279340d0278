#include "widgets/HotkeyRecorder.h"

#include "controller/Hotkey.h"
#include "widgets/QtKeyConversion.h"
#include "widgets/Theme.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>

namespace knokle {

namespace {

const char* const kListening = "Press keys";

// Pressing a modifier on its own is not a key press a shortcut can end with.
bool isModifierKey(int key) {
    switch (key) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
    case Qt::Key_ScrollLock:
        return true;
    default:
        return false;
    }
}

} // namespace

HotkeyRecorder::HotkeyRecorder(const std::string& display, QWidget* parent)
    : QWidget(parent), beep([] { QApplication::beep(); }), text(display) {
    setFont(Theme::font(13, QFont::Medium));
    setFocusPolicy(Qt::StrongFocus);
    setFixedHeight(static_cast<int>(ControlGeometry::kRecorderHeight));
    setMinimumWidth(static_cast<int>(ControlGeometry::kRecorderMinWidth));
    setCursor(Qt::PointingHandCursor);
}

HotkeyRecorder::~HotkeyRecorder() {
    stopRecording();
}

QString HotkeyRecorder::shownText() const {
    return recording ? QString(kListening) : QString::fromStdString(text);
}

void HotkeyRecorder::setLabel(const std::string& label) {
    if (recording) return;
    text = label;
    update();
}

void HotkeyRecorder::startRecording() {
    if (recording) return;
    recording = true;
    update();
    qApp->installEventFilter(this);
    watchedWindow = window();
    if (onRecordingChange) onRecordingChange(true);
}

void HotkeyRecorder::stopRecording() {
    if (!recording) return;
    recording = false;
    update();
    if (qApp) qApp->removeEventFilter(this);
    watchedWindow = nullptr;
    if (onRecordingChange) onRecordingChange(false);
}

void HotkeyRecorder::mousePressEvent(QMouseEvent*) {
    setFocus(Qt::MouseFocusReason);
    if (recording)
        stopRecording();
    else
        startRecording();
}

bool HotkeyRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (!recording) return false;
    switch (event->type()) {
    case QEvent::WindowDeactivate:
        // Another window became active: stop listening, record nothing.
        if (watched == watchedWindow.data()) stopRecording();
        return false;
    case QEvent::ShortcutOverride:
        // Claim every key while listening, so that no window shortcut (Return for Done) takes it first.
        event->accept();
        return true;
    case QEvent::KeyPress:
        return handleKey(static_cast<QKeyEvent*>(event));
    default:
        return false;
    }
}

bool HotkeyRecorder::handleKey(QKeyEvent* event) {
    QWidget* own = window();
    if (!own || !own->isActiveWindow()) {
        stopRecording();
        return false;
    }
    if (isModifierKey(event->key())) return true;
    if (event->key() == Qt::Key_Escape) {
        stopRecording();
        return true;
    }
    RecordedKey key = convertKeyEvent(*event);
    std::uint32_t mask = GlobalHotKey::carbonModifiers(key.flags);
    if (mask == 0 || !key.keyCode) {
        // No modifier, or a key that no shortcut can use: keep listening.
        if (beep) beep();
        return true;
    }
    auto code = static_cast<std::uint16_t>(*key.keyCode);
    // Shown in Linux notation; stored with the display text the settings file has always kept.
    text = GlobalHotKey::shortcutText(code, mask);
    if (onChange) onChange(*key.keyCode, mask, GlobalHotKey::displayString(code, key.flags, key.characters));
    stopRecording();
    return true;
}

void HotkeyRecorder::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    Rect bounds{0, 0, double(width()), double(height())};
    double radius = ControlGeometry::kRecorderRadius;
    painter.setPen(QPen(Theme::color(recording ? Palette::neon : Palette::border), 1));
    painter.setBrush(Theme::color(recording ? Palette::neonFill : Palette::field));
    painter.drawRoundedRect(Theme::rect(ControlGeometry::recorderOutline(bounds)), radius, radius);
    QString shown = shownText();
    QFontMetricsF metrics(font());
    Rect frame = ControlGeometry::recorderTextFrame(bounds, metrics.horizontalAdvance(shown), metrics.height());
    painter.setFont(font());
    painter.setPen(Theme::color(recording ? Palette::white : Palette::text));
    painter.drawText(Theme::rect(frame), Qt::AlignLeft | Qt::AlignTop, shown);
}

} // namespace knokle
