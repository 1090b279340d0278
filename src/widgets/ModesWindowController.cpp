#include "widgets/ModesWindowController.h"

#include "widgets/AccentButton.h"
#include "widgets/ApplicationChooser.h"
#include "widgets/CardView.h"
#include "widgets/EditProxy.h"
#include "widgets/EditorRows.h"
#include "widgets/PinnedColumnView.h"
#include "widgets/SlidingSegmented.h"
#include "widgets/Theme.h"
#include "widgets/ThemedTextField.h"

#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

namespace knokle {

namespace {

constexpr int kContentWidth = ModesWindowController::kWidth - 2 * 30;

QVBoxLayout* column(QWidget* owner, int spacing) {
    auto* layout = new QVBoxLayout(owner);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

int fittingHeight(QWidget* view, int width) {
    QLayout* layout = view->layout();
    layout->activate();
    return layout->hasHeightForWidth() ? layout->totalHeightForWidth(width) : layout->totalSizeHint().height();
}

void clear(QVBoxLayout* stack) {
    while (QLayoutItem* item = stack->takeAt(0)) {
        if (QWidget* row = item->widget()) {
            // Later, not now: the click or edit that led here may still be on its way out of this row.
            row->hide();
            row->deleteLater();
        }
        delete item;
    }
}

} // namespace

ModesWindowController::ModesWindowController(std::shared_ptr<ModeManager> manager, Services s)
    : services(std::move(s)), editor(std::move(manager), services.loop), windowWidget(std::make_unique<QWidget>()) {
    QWidget* w = windowWidget.get();
    w->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                      Qt::CustomizeWindowHint);
    w->setWindowTitle("Knokle Modes");
    w->setAutoFillBackground(true);
    QPalette colours = w->palette();
    colours.setColor(QPalette::Window, Theme::color(Palette::bg));
    w->setPalette(colours);
    w->resize(kWidth, 640);
    w->installEventFilter(this);

    editor.nameText = [this] { return nameField ? nameField->text().toStdString() : std::string(); };
    editor.onModesChanged = [this] {
        if (onModesChanged) onModesChanged();
    };
    editor.onLoaded = [this] {
        nameField->setText(QString::fromStdString(editor.mode().name));
        fillFocusChoices();
        refreshLists();
    };
    editor.onListsChanged = [this] { refreshLists(); };
    editor.onFooterChange = [this] { showFooter(); };
    editor.onClose = [this] { windowWidget->close(); };
    chooseApplications = [this](std::function<void(std::vector<std::string>)> done) {
        auto* chooser = new ApplicationChooser(
            services.catalog ? services.catalog() : std::vector<InstalledApplication>{}, windowWidget.get());
        chooser->setAttribute(Qt::WA_DeleteOnClose);
        QObject::connect(chooser, &QDialog::finished, this, [chooser, done](int result) {
            if (result == QDialog::Accepted) done(chooser->chosen());
        });
        chooser->open();
    };
    buildUI();
    editor.loadMode(1);
}

ModesWindowController::~ModesWindowController() {
    windowWidget->removeEventFilter(this);
    editor.onLoaded = nullptr;
    editor.onListsChanged = nullptr;
    editor.onFooterChange = nullptr;
    editor.onClose = nullptr;
}

void ModesWindowController::buildUI() {
    auto* content = new QVBoxLayout(windowWidget.get());
    content->setContentsMargins(30, 34, 30, 20);
    content->setSpacing(0);
    headerBox = buildHeader();
    content->addWidget(headerBox);
    content->addSpacing(18);
    scroller = new QScrollArea;
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    scroller->setWidgetResizable(true);
    scroller->viewport()->setAutoFillBackground(false);
    Theme::styleScrollBar(scroller);
    bodyStack = buildBody();
    auto* document = new PinnedColumnView(bodyStack);
    document->setAutoFillBackground(false);
    scroller->setWidget(document);
    content->addWidget(scroller, 1);
    content->addSpacing(12);
    footerBar = buildFooter();
    content->addWidget(footerBar);
}

QWidget* ModesWindowController::buildHeader() {
    auto* header = new QWidget;
    auto* layout = column(header, 0);
    layout->addWidget(Theme::label("Modes", 26, QFont::Bold, Palette::text));
    layout->addSpacing(6);
    auto* subtitle = Theme::label("Tap the side of your laptop to run a mode. Pick how many taps, then what it does.",
                                  13, QFont::Normal, Palette::textDim, true);
    subtitle->setMaximumHeight(2 * subtitle->fontMetrics().lineSpacing() + 2); // at most two lines
    layout->addWidget(subtitle);
    layout->addSpacing(14);
    tapPicker = new SlidingSegmented({"1 Tap", "2 Taps", "3 Taps"}, 0);
    tapPicker->setFixedWidth(kContentWidth);
    tapPicker->onChange = [this](int index) { tapCountChanged(index); };
    layout->addWidget(tapPicker);
    return header;
}

QWidget* ModesWindowController::buildBody() {
    // As wide as the scrolling area: the full content width, less the scroll bar when one is needed.
    auto* body = new QWidget;
    auto* layout = column(body, 10);
    layout->addWidget(Theme::label("MODE NAME", 11, QFont::DemiBold, Palette::textFaint));
    nameField = new ThemedTextField("", "e.g. Heads-down Coding");
    EditProxy::attach(
        nameField, services.loop, [this](const std::string&) { editor.save(); }, [this] { editor.confirmAndClose(); });
    layout->addWidget(nameField);
    layout->addSpacing(8); // 18 after the name field

    struct CardSpec {
        const char* symbol;
        Colour tint;
        const char* title;
        const char* add;
        std::function<void()> action;
        QVBoxLayout** stack;
    };
    const CardSpec cards[] = {
        {"arrow.up.forward.app", Palette::good, "Open These Apps", "Add App", [this] { addApps(ModeList::openApps); },
         &opensStack},
        {"xmark.app", Palette::bad, "Quit These Apps", "Add App", [this] { addApps(ModeList::quitApps); }, &quitsStack},
        {"link", Palette::good, "Open These Links", "Add Link", [this] { addEntry(ModeList::openURLs); }, &urlsStack},
        {"xmark.circle", Palette::bad, "Close These Links", "Add Link", [this] { addEntry(ModeList::closeURLs); },
         &closeUrlsStack},
    };
    for (const auto& card : cards) {
        auto* list = new QWidget;
        *card.stack = column(list, 6);
        layout->addWidget(EditorRows::card(card.symbol, card.tint, card.title, card.add, card.action, list));
    }
    focusChoice = EditorRows::choiceBox();
    QObject::connect(focusChoice, &QComboBox::activated, this,
                     [this](int index) { editor.setFocus(focusChoice->itemText(index).toStdString()); });
    auto* hint = EditorRows::emptyRow("Runs an executable from ~/.config/knokle/shortcuts (examples are in "
                                      "share/knokle/shortcuts).");
    layout->addWidget(CardView::make(Theme::symbolImage("moon.fill", Palette::neon), "Focus", nullptr,
                                     {focusChoice, hint}, {14, 16, 10}));
    return body;
}

QWidget* ModesWindowController::buildFooter() {
    auto* footer = new QWidget;
    auto* layout = new QHBoxLayout(footer);
    layout->setContentsMargins(0, 0, 0, 0);
    savedHint = Theme::label(QString::fromStdString(editor.footer().text), 12, QFont::Normal, editor.footer().colour);
    layout->addWidget(savedHint, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    auto* done = new AccentButton("Done");
    QObject::connect(done, &QPushButton::clicked, this, [this] { doneTapped(); });
    layout->addWidget(done);
    return footer;
}

void ModesWindowController::refreshLists() {
    for (auto* stack : {opensStack, quitsStack, urlsStack, closeUrlsStack})
        clear(stack);
    fillAppRows(opensStack, ModeList::openApps);
    fillAppRows(quitsStack, ModeList::quitApps);
    fillLinkRows(urlsStack, ModeList::openURLs, "https://…", ModeEditor::kLinksPlaceholder);
    fillLinkRows(closeUrlsStack, ModeList::closeURLs, "youtube.com", ModeEditor::kTabsPlaceholder);
    // Rows added to a window on screen stay hidden until shown, and would not be measured.
    for (auto* stack : {opensStack, quitsStack, urlsStack, closeUrlsStack})
        for (int i = 0; i < stack->count(); ++i)
            stack->itemAt(i)->widget()->show();
    fit();
}

void ModesWindowController::fillAppRows(QVBoxLayout* stack, ModeList which) {
    const auto& apps = editor.list(which);
    if (apps.empty()) {
        stack->addWidget(EditorRows::emptyRow(ModeEditor::kAppsPlaceholder));
        return;
    }
    unsigned made = editor.generation();
    for (size_t i = 0; i < apps.size(); ++i) {
        auto remove = [this, which, i, made] {
            flushEdits();
            editor.removeEntry(which, i, made);
        };
        stack->addWidget(EditorRows::appRow(EditorRows::appLook(services.workspace, apps[i]), remove));
    }
}

void ModesWindowController::fillFocusChoices() {
    if (!focusChoice) return;
    auto choices = ModeEditor::focusChoices(services.shortcuts ? services.shortcuts() : std::vector<std::string>{},
                                            editor.mode().focusModeIdentifier);
    focusChoice->clear();
    for (const auto& choice : choices)
        focusChoice->addItem(QString::fromStdString(choice));
    const auto& current = editor.mode().focusModeIdentifier;
    focusChoice->setCurrentText(QString::fromStdString(current ? *current : ModeEditor::kNoFocus));
}

void ModesWindowController::fillLinkRows(QVBoxLayout* stack, ModeList which, const QString& placeholder,
                                         const QString& empty) {
    const auto& entries = editor.list(which);
    if (entries.empty()) {
        stack->addWidget(EditorRows::emptyRow(empty));
        return;
    }
    unsigned made = editor.generation();
    for (size_t i = 0; i < entries.size(); ++i) {
        auto change = [this, which, i, made](const std::string& text) { editor.editEntry(which, i, text, made); };
        auto submit = [this] { editor.confirmAndClose(); };
        auto remove = [this, which, i, made] {
            flushEdits();
            editor.removeEntry(which, i, made);
        };
        stack->addWidget(EditorRows::linkRow(entries[i], placeholder, services.loop, change, submit, remove));
    }
}

void ModesWindowController::flushEdits() {
    for (auto* proxy : windowWidget->findChildren<EditProxy*>())
        if (proxy->hasPendingEdit() || proxy->isEditing()) proxy->endEditing();
}

void ModesWindowController::tapCountChanged(int index) {
    flushEdits();
    editor.tapCountChanged(index);
}

void ModesWindowController::addApps(ModeList which) {
    if (!chooseApplications) return;
    chooseApplications([self = QPointer<ModesWindowController>(this), which](std::vector<std::string> chosen) {
        if (!self) return;
        self->flushEdits();
        self->editor.addApps(which, chosen);
    });
}

void ModesWindowController::addEntry(ModeList which) {
    flushEdits();
    editor.addEntry(which);
}

void ModesWindowController::doneTapped() {
    flushEdits();
    editor.confirmAndClose();
}

void ModesWindowController::showFooter() {
    savedHint->setText(QString::fromStdString(editor.footer().text));
    Theme::setLabelColour(savedHint, editor.footer().colour);
}

void ModesWindowController::fit() {
    if (!headerBox || !bodyStack || !footerBar) return;
    // Rows were just added and removed. Nested layouts pass new sizes up only when shown (through posted
    // layout requests); the window may be hidden, so every cached size is dropped here and now.
    windowWidget->ensurePolished();
    for (QWidget* child : bodyStack->findChildren<QWidget*>())
        child->updateGeometry();
    std::optional<double> screen;
    if (services.screenHeight) {
        screen = services.screenHeight(windowWidget.get());
    } else if (QScreen* s = windowWidget->screen()) {
        screen = s->availableGeometry().height();
    }
    // The scrolling document keeps 10 below the last card; counted here, so that content that fits needs no
    // scroll bar.
    int header = fittingHeight(headerBox, kContentWidth);
    int body = fittingHeight(bodyStack, kContentWidth) + 10;
    int footer = fittingHeight(footerBar, kContentWidth);
    double height = ModeEditor::fittedContentHeight(header, body, footer, screen);
    bool fits = height >= ModeEditor::wantedContentHeight(header, body, footer);
    scroller->setVerticalScrollBarPolicy(fits ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
    // Qt keeps a window's top-left corner when it is resized, so the top edge stays put.
    windowWidget->setFixedSize(kWidth, static_cast<int>(height));
}

void ModesWindowController::present() {
    if (services.present) {
        services.present(windowWidget.get());
        return;
    }
    windowWidget->show();
    windowWidget->raise();
    windowWidget->activateWindow();
}

bool ModesWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == windowWidget.get() && event->type() == QEvent::Close) {
        // Whatever was typed last is kept: editing ends with the window.
        flushEdits();
        editor.windowWillClose();
        services.loop.post([self = QPointer<ModesWindowController>(this)] {
            if (self && self->onClosed) self->onClosed();
        });
    }
    return false;
}

} // namespace knokle
