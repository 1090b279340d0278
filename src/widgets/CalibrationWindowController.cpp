#include "widgets/CalibrationWindowController.h"

#include "controller/Hotkey.h"
#include "sensing/Firmness.h"
#include "viewmodels/WindowPlacement.h"
#include "widgets/AccentButton.h"
#include "widgets/BlockMeterView.h"
#include "widgets/CardView.h"
#include "widgets/HotkeyRecorder.h"
#include "widgets/SlidingSegmented.h"
#include "widgets/Theme.h"
#include "widgets/ThemedSwitch.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QShortcut>
#include <QVBoxLayout>

namespace knokle {

namespace {

constexpr CardView::Column kCardColumn{16, 20, 12};

QWidget* row(std::initializer_list<QWidget*> views, int stretchAfter) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    int index = 0;
    for (QWidget* view : views) {
        layout->addWidget(view, 0, Qt::AlignVCenter);
        if (index++ == stretchAfter) layout->addStretch(1);
    }
    return box;
}

} // namespace

CalibrationWindowController::CalibrationWindowController(MainLoop& loop, std::function<void(QWidget*)> present)
    : loop(loop), presenter(std::move(present)), state(loop), windowWidget(std::make_unique<QWidget>()),
      meterView(new BlockMeterView(loop)) {
    QWidget* w = windowWidget.get();
    w->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                      Qt::CustomizeWindowHint);
    w->setWindowTitle("Test Your Taps");
    w->setAutoFillBackground(true);
    QPalette colours = w->palette();
    colours.setColor(QPalette::Window, Theme::color(Palette::bg));
    w->setPalette(colours);
    w->installEventFilter(this);
    meterView->setParent(w);
    state.onStatusChange = [this] { showStatus(); };
    state.onFooterChange = [this] { showFooter(); };
    state.onClose = [this] { windowWidget->close(); };
}

CalibrationWindowController::~CalibrationWindowController() {
    windowWidget->removeEventFilter(this);
    state.onStatusChange = nullptr;
    state.onFooterChange = nullptr;
    state.onClose = nullptr;
}

void CalibrationWindowController::setHotkeyDisplay(const std::string& display) {
    state.hotkeyDisplay = display;
    if (recorder) recorder->setLabel(display);
}

void CalibrationWindowController::apply(const CalibrationSetup& setup) {
    state.firmness = userFirmness(setup.firmness);
    state.cooldown = setup.cooldown;
    state.hotkeyDisplay = setup.hotkeyDisplay;
    state.autoPause = setup.autoPause;
    meterView->model().thresholdG = setup.thresholdG;
    meterView->model().markerFraction = setup.markerFraction;
}

void CalibrationWindowController::buildUI() {
    // Built anew on every refresh: the segmented controls cannot be moved to another choice once made.
    if (content) {
        meterView->setParent(windowWidget.get());
        meterView->hide();
        delete content;
        content = nullptr;
    }
    if (!windowWidget->layout()) {
        auto* outer = new QVBoxLayout(windowWidget.get());
        outer->setContentsMargins(0, 0, 0, 0);
    }
    content = new QWidget;
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(30, 34, 30, 20);
    stack->setSpacing(0);
    headerBox = buildHeader();
    stack->addWidget(headerBox);
    stack->addSpacing(22);
    // The cards scroll where the screen is too short for them; the header and the Done row stay in view.
    scroller = new QScrollArea;
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setWidgetResizable(true);
    scroller->viewport()->setAutoFillBackground(false);
    Theme::styleScrollBar(scroller);
    cardsBox = new QWidget;
    cardsBox->setAutoFillBackground(false);
    auto* cards = new QVBoxLayout(cardsBox);
    cards->setContentsMargins(0, 0, 0, 0);
    cards->setSpacing(16);
    for (QWidget* item : {buildMeterCard(), buildFirmnessCard(), buildCooldownCard(), buildShortcutCard()})
        cards->addWidget(item);
    cards->addStretch(1);
    scroller->setWidget(cardsBox);
    stack->addWidget(scroller, 1);
    stack->addSpacing(16);
    footerBox = buildFooter();
    stack->addWidget(footerBox);
    windowWidget->layout()->addWidget(content);
    meterView->show();
    fit();
}

void CalibrationWindowController::refresh(const CalibrationSetup& setup) {
    if (recorder && recorder->isRecording()) recorder->stopRecording();
    apply(setup);
    buildUI();
}

namespace {

int fittingHeight(QWidget* view, int width) {
    QLayout* layout = view->layout();
    layout->activate();
    return layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalSizeHint().height();
}

} // namespace

void CalibrationWindowController::fit() {
    if (!content) return;
    windowWidget->ensurePolished();
    for (QWidget* child : content->findChildren<QWidget*>())
        child->updateGeometry();
    std::optional<double> screen;
    if (screenHeight) {
        screen = screenHeight(windowWidget.get());
    } else if (QScreen* s = windowWidget->screen()) {
        screen = s->availableGeometry().height();
    }
    int wanted = 34 + fittingHeight(headerBox, kCardWidth) + 22 + fittingHeight(cardsBox, kCardWidth) + 16 +
                 fittingHeight(footerBox, kCardWidth) + 20;
    int height = static_cast<int>(cappedContentHeight(wanted, screen));
    scroller->setVerticalScrollBarPolicy(height >= wanted ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    windowWidget->setFixedSize(kWidth, height);
    content->layout()->activate();
}

QWidget* CalibrationWindowController::buildHeader() {
    auto* header = new QWidget;
    auto* column = new QVBoxLayout(header);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);
    column->addWidget(Theme::label("Test Your Taps", 26, QFont::Bold, Palette::text));
    column->addWidget(Theme::label("Tap the side of your laptop. Fill past the marker and it counts.", 13,
                                   QFont::Normal, Palette::textDim, true));
    return header;
}

QWidget* CalibrationWindowController::buildMeterCard() {
    statusLabel = Theme::label(QString::fromStdString(state.status().text), 14, QFont::Medium, state.status().colour);
    return CardView::make(Theme::symbolImage("waveform", Palette::textDim), "Tap Strength", nullptr,
                          {meterView, statusLabel}, kCardColumn);
}

QWidget* CalibrationWindowController::buildFirmnessCard() {
    std::vector<std::string> labels = CalibrationModel::firmnessLabels();
    firmnessControl = new SlidingSegmented(labels, state.firmness - 1);
    firmnessControl->onChange = [this](int) { firmnessChanged(); };
    firmDesc =
        Theme::label(QString::fromStdString(state.firmnessDescription()), 12, QFont::Normal, Palette::textDim, true);
    auto* card = CardView::make(Theme::symbolImage(state.firmnessSymbol(), state.firmnessTint()), "Firmness", nullptr,
                                {firmnessControl, firmDesc}, kCardColumn);
    firmIcon = card->findChild<QLabel*>("symbol");
    return card;
}

QWidget* CalibrationWindowController::buildCooldownCard() {
    autoPauseSwitch = new ThemedSwitch;
    autoPauseSwitch->setOn(state.autoPause);
    QObject::connect(autoPauseSwitch, &ThemedSwitch::switched, this, [this] { autoPauseToggled(); });
    QWidget* pauseRow =
        row({Theme::label("Auto-pause after each tap", 13, QFont::Medium, Palette::text), autoPauseSwitch}, 0);
    cooldownControl = new SlidingSegmented(CalibrationModel::cooldownLabels(), state.cooldownIndex());
    cooldownControl->onChange = [this](int) { cooldownChanged(); };
    cooldownControl->isEnabledLike = state.cooldownChoiceEnabled();
    cooldownControl->setOpacity(state.cooldownChoiceOpacity(), false);
    cooldownDesc =
        Theme::label(QString::fromStdString(state.cooldownText()), 12, QFont::Normal, Palette::textDim, true);
    return CardView::make(Theme::symbolImage("hourglass", Palette::neon), "Cooldown", nullptr,
                          {pauseRow, cooldownControl, cooldownDesc}, kCardColumn);
}

QWidget* CalibrationWindowController::buildShortcutCard() {
    recorder = new HotkeyRecorder(state.hotkeyDisplay);
    recorder->onChange = [this](std::uint32_t keyCode, std::uint32_t modifiers, const std::string& display) {
        state.hotkeyDisplay = GlobalHotKey::shortcutText(keyCode, modifiers);
        if (onHotkeyChange) onHotkeyChange(keyCode, modifiers, display);
    };
    recorder->onRecordingChange = [this](bool listening) {
        if (onRecordingChange) onRecordingChange(listening);
    };
    auto* hint = Theme::label("Press from anywhere to arm or pause taps — no need for the menu. Click the box to "
                              "rebind.",
                              12, QFont::Normal, Palette::textDim, true);
    return CardView::make(Theme::symbolImage("keyboard", Palette::neon), "Activation shortcut", nullptr,
                          {row({recorder}, 0), hint}, kCardColumn);
}

QWidget* CalibrationWindowController::buildFooter() {
    // Wrapped: a note about the tap source can be longer than the saving hint.
    footerHint =
        Theme::label(QString::fromStdString(state.footer().text), 12, QFont::Normal, state.footer().colour, true);
    auto* done = new AccentButton("Done");
    QObject::connect(done, &QPushButton::clicked, this, [this] { doneTapped(); });
    for (auto key : {Qt::Key_Return, Qt::Key_Enter}) {
        auto* shortcut = new QShortcut(QKeySequence(key), content); // goes with the content it is built with
        QObject::connect(shortcut, &QShortcut::activated, this, [this] { doneTapped(); });
    }
    return row({footerHint, done}, 0);
}

void CalibrationWindowController::showStatus() {
    if (!statusLabel) return;
    statusLabel->setText(QString::fromStdString(state.status().text));
    Theme::setLabelColour(statusLabel, state.status().colour);
}

void CalibrationWindowController::showFooter() {
    if (!footerHint) return;
    footerHint->setText(QString::fromStdString(state.footer().text));
    Theme::setLabelColour(footerHint, state.footer().colour);
    fit();
}

bool CalibrationWindowController::isVisible() const {
    return windowWidget->isVisible();
}

double CalibrationWindowController::displayLevel() const {
    return meterView->model().displayLevel;
}

void CalibrationWindowController::setDisplayLevel(double level) {
    meterView->setLevel(level);
}

void CalibrationWindowController::showFirmness(int level, double thresholdG, double markerFraction) {
    state.firmness = level;
    meterView->model().thresholdG = thresholdG;
    meterView->model().markerFraction = markerFraction;
    meterView->update();
}

void CalibrationWindowController::flashDetected(int count) {
    state.flashDetected(count);
    meterView->flash();
}

void CalibrationWindowController::present() {
    if (presenter) {
        presenter(windowWidget.get());
        return;
    }
    windowWidget->show();
    windowWidget->raise();
    windowWidget->activateWindow();
}

void CalibrationWindowController::firmnessChanged() {
    state.chooseFirmness(firmnessControl->selectedIndex());
    firmDesc->setText(QString::fromStdString(state.firmnessDescription()));
    firmIcon->setPixmap(Theme::symbolImage(state.firmnessSymbol(), state.firmnessTint()));
    fit();
    // The meter follows once the controller has applied the choice.
    if (onFirmnessChange) onFirmnessChange(state.firmness);
}

void CalibrationWindowController::cooldownChanged() {
    state.chooseCooldown(cooldownControl->selectedIndex());
    cooldownDesc->setText(QString::fromStdString(state.cooldownText()));
    fit();
    if (onCooldownChange) onCooldownChange(state.cooldown);
}

void CalibrationWindowController::autoPauseToggled() {
    state.setAutoPause(autoPauseSwitch->isOn());
    cooldownControl->isEnabledLike = state.cooldownChoiceEnabled();
    cooldownControl->setOpacity(state.cooldownChoiceOpacity(), true);
    cooldownDesc->setText(QString::fromStdString(state.cooldownText()));
    fit();
    if (onAutoPauseChange) onAutoPauseChange(state.autoPause);
}

void CalibrationWindowController::doneTapped() {
    state.done();
}

bool CalibrationWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowWidget.get() && event->type() == QEvent::Close) {
        // Reported once the window is gone from the screen, so the controller no longer counts it visible.
        loop.post([self = QPointer<CalibrationWindowController>(this)] {
            if (self && self->onClose) self->onClose();
            if (self && self->onWindowClosed) self->onWindowClosed();
        });
    }
    return false;
}

} // namespace knokle
