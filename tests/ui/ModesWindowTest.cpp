#include "FakeWorkspace.h"
#include "TempDir.h"
#include "VirtualLoop.h"
#include "WidgetTesting.h"
#include "common/AtomicFile.h"
#include "modes/ModeCoding.h"
#include "widgets/ApplicationChooser.h"
#include "widgets/EditorRows.h"
#include "widgets/ModesWindowController.h"
#include "widgets/SlidingSegmented.h"
#include "widgets/ThemedTextField.h"

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

using namespace knokle;

namespace {

SlapMode stored(int count, std::string name, std::vector<std::string> apps = {}, std::vector<std::string> urls = {}) {
    SlapMode mode;
    mode.slapCount = count;
    mode.name = std::move(name);
    mode.openApps = std::move(apps);
    mode.openURLs = std::move(urls);
    return mode;
}

struct ModesWindow : testing::Test {
    void SetUp() override { test::ensureWidgetsApplication(); }

    // The editor on its own store, in virtual time, on a screen of the given visible height.
    ModesWindowController& open(const std::vector<SlapMode>& modes, std::optional<double> screen = 2000) {
        writeFileAtomically(dir / "modes.json", encodeModes(modes));
        manager = std::make_shared<ModeManager>(nullptr, dir / "modes.json");
        screenHeight = screen;
        editor = std::make_unique<ModesWindowController>(
            manager,
            ModesWindowController::Services{loop, &workspace, nullptr, nullptr,
                                            [this](QWidget*) { return screenHeight; }, [this] { return shortcuts; }});
        editor->onModesChanged = [this] { ++saves; };
        editor->onClosed = [this] { ++closed; };
        editor->chooseApplications = [this](std::function<void(std::vector<std::string>)> done) { done(chosen); };
        return *editor;
    }
    void show() {
        editor->present();
        ASSERT_TRUE(QTest::qWaitForWindowActive(editor->window()));
    }
    std::optional<SlapMode> storedFor(int count) const {
        auto modes = decodeModes(readWholeFile(dir / "modes.json").value_or("")).value_or(std::vector<SlapMode>{});
        for (const auto& mode : modes)
            if (mode.slapCount == count) return mode;
        return std::nullopt;
    }
    // The rows of a list as the user sees them: field texts, names or the placeholder.
    static std::vector<std::string> rows(QVBoxLayout* stack) {
        std::vector<std::string> out;
        for (int i = 0; i < stack->count(); ++i) {
            QWidget* row = stack->itemAt(i)->widget();
            auto* field = row->findChild<QLineEdit*>();
            auto* label = qobject_cast<QLabel*>(row) ? qobject_cast<QLabel*>(row) : row->findChild<QLabel*>("name");
            out.push_back((field ? field->text() : label->text()).toStdString());
        }
        return out;
    }
    static QLineEdit* field(QVBoxLayout* stack, int i) { return stack->itemAt(i)->widget()->findChild<QLineEdit*>(); }
    static void clickRemove(QVBoxLayout* stack, int i) {
        stack->itemAt(i)->widget()->findChild<QPushButton*>("remove")->click();
    }

    test::TempDir dir;
    test::VirtualLoop loop;
    test::FakeWorkspace workspace;
    std::shared_ptr<ModeManager> manager;
    std::unique_ptr<ModesWindowController> editor;
    std::optional<double> screenHeight;
    std::vector<std::string> chosen;
    std::vector<std::string> shortcuts;
    int saves = 0, closed = 0;
};

} // namespace

TEST_F(ModesWindow, OpensOnTheOneTapModeWithItsRows) {
    workspace.install("org.gnome.Calculator", "/apps/calc.desktop");
    workspace.setDisplayName("/apps/calc.desktop", "Calculator.app Pro.app");
    auto& e = open({stored(1, "Work", {"org.gnome.Calculator", "com.apple.MobileSMS"}, {"a.com", "   "})});
    EXPECT_EQ(e.tapPicker->selectedIndex(), 0);
    EXPECT_EQ(e.nameField->text(), "Work");
    EXPECT_EQ(rows(e.opensStack), (std::vector<std::string>{"Calculator Pro", "Messages (not installed)"}))
        << "names without .app; a missing application by a readable name, said to be missing";
    EXPECT_EQ(rows(e.quitsStack), std::vector<std::string>{"Nothing yet — click Add App"});
    EXPECT_EQ(rows(e.urlsStack), std::vector<std::string>{"a.com"}) << "a blank link shows no row";
    EXPECT_EQ(rows(e.closeUrlsStack), std::vector<std::string>{"Nothing yet — matches any tab containing the text"});
    EXPECT_EQ(e.window()->windowTitle(), "Knokle Modes");
    EXPECT_EQ(saves, 0) << "filling the fields is no edit";
    EXPECT_FALSE(EditorRows::appLook(&workspace, "gone.app").icon.isNull()) << "a generic icon";
}

TEST_F(ModesWindow, TypingSavesHalfASecondAfterTheLastKeyAndLeavingSavesItTrimmed) {
    auto& e = open({stored(1, "", {}, {"a.com"})});
    show();
    QLineEdit* link = field(e.urlsStack, 0);
    link->setFocus();
    link->selectAll();
    QTest::keyClicks(link, " b");
    loop.advance(0.3);
    QTest::keyClicks(link, "c ");
    loop.advance(0.49);
    EXPECT_EQ(saves, 0);
    loop.advance(0.01);
    EXPECT_EQ(saves, 1) << "one save for the whole burst";
    EXPECT_EQ(storedFor(1)->openURLs, std::vector<std::string>{" bc "}) << "as typed while typing";
    link->clearFocus();
    EXPECT_EQ(storedFor(1)->openURLs, std::vector<std::string>{"bc"}) << "trimmed when editing ends";
    // Adding a link rebuilds the rows: what was typed just before is kept.
    link->setFocus();
    link->selectAll();
    QTest::keyClicks(link, "d.com");
    e.addEntry(ModeList::openURLs);
    EXPECT_EQ(storedFor(1)->openURLs, (std::vector<std::string>{"d.com", ""}));
}

TEST_F(ModesWindow, ReturnInTheNameSavesConfirmsAndClosesThenReopeningResets) {
    auto& e = open({stored(1, "Old")});
    show();
    e.nameField->setFocus();
    e.nameField->selectAll();
    QTest::keyClicks(e.nameField, "Deep Work ");
    QTest::keyClick(e.nameField, Qt::Key_Return);
    EXPECT_EQ(storedFor(1)->name, "Deep Work ") << "the field's text exactly";
    EXPECT_EQ(e.savedHint->text(), "Saved ✓");
    loop.advance(0.45);
    EXPECT_FALSE(e.window()->isVisible());
    EXPECT_EQ(closed, 1);
    e.resetFooter(); // as the application opens it again
    EXPECT_EQ(e.savedHint->text(), "Changes save automatically");
}

TEST_F(ModesWindow, ChangingTheCountKeepsWhatWasJustTypedInTheModeItWasTypedFor) {
    auto& e = open({stored(1, "One", {}, {"a.com"}), stored(3, "Three", {}, {"three.com"})});
    show();
    e.addEntry(ModeList::openURLs);
    QLineEdit* first = field(e.urlsStack, 0);
    first->setFocus();
    first->selectAll();
    QTest::keyClicks(first, "new.com ");
    test::click(e.tapPicker, {e.tapPicker->width() - 1.0, 10}); // "3 Taps" before the typing delay ran out
    EXPECT_EQ(storedFor(1)->openURLs, std::vector<std::string>{"new.com"}) << "saved, blank entry stripped";
    EXPECT_EQ(e.count(), 3);
    EXPECT_EQ(rows(e.urlsStack), std::vector<std::string>{"three.com"});
    loop.advance(2);
    EXPECT_EQ(storedFor(3)->openURLs, std::vector<std::string>{"three.com"}) << "nothing late lands here";
}

TEST_F(ModesWindow, AppsComeFromTheChooserAndGoByTheirRowAndClosingStripsBlankLinks) {
    auto& e = open({stored(1, "", {"xterm"})});
    chosen = {"chromium", "xterm", "vim"};
    e.addApps(ModeList::openApps);
    EXPECT_EQ(storedFor(1)->openApps, (std::vector<std::string>{"xterm", "chromium", "vim"}));
    clickRemove(e.opensStack, 1);
    EXPECT_EQ(rows(e.opensStack), (std::vector<std::string>{"Xterm (not installed)", "Vim (not installed)"}));
    // Closing the window strips a blank link.
    show();
    e.addEntry(ModeList::closeURLs);
    e.window()->close();
    EXPECT_TRUE(storedFor(1)->closeURLs.empty());
    loop.runPending();
    EXPECT_EQ(closed, 1);
}

TEST_F(ModesWindow, TheWindowFitsItsContentWithinTheScreenKeepingItsTop) {
    std::vector<std::string> many(30, "app");
    auto& e = open({stored(1, "", {}), stored(2, "", many)}, 700);
    show();
    e.window()->move(100, 50);
    e.tapCountChanged(1);
    EXPECT_EQ(e.window()->height(), 630) << "the screen's height, less a margin";
    EXPECT_EQ(e.window()->y(), 50);
}

TEST_F(ModesWindow, TheChooserListsSearchesAndKeepsTheOrderOfChoosing) {
    ApplicationChooser chooser({{"chromium", "Chromium", ""},
                                {"org.gnome.Calculator", "Calculator", ""},
                                {"xterm", "XTerm", "/no/such/icon.png"}});
    chooser.toggle("xterm");
    chooser.toggle("chromium");
    chooser.toggle("org.gnome.Calculator");
    chooser.toggle("chromium");
    chooser.toggle("chromium");
    EXPECT_EQ(chooser.chosen(), (std::vector<std::string>{"xterm", "org.gnome.Calculator", "chromium"}));
    chooser.searchField()->setText("calc");
    EXPECT_EQ(chooser.shownCount(), 1);
    EXPECT_EQ(chooser.chosen().size(), 3u) << "hidden by the search, still chosen";
}

// The chooser's Cancel reads on the dark window (it was near-black on navy), and its list's scroll bar is the
// windows' own, not the light default.
TEST_F(ModesWindow, TheChoosersTextsReadOnItsDarkWindow) {
    std::vector<InstalledApplication> many;
    for (int i = 0; i < 40; ++i)
        many.push_back({"app" + std::to_string(i), "Application " + std::to_string(i), ""});
    ApplicationChooser chooser(many);
    QImage image = test::grabbed(&chooser);
    auto* cancel = chooser.findChild<QPushButton*>("cancel");
    ASSERT_TRUE(cancel);
    QRect box(cancel->mapTo(&chooser, QPoint(0, 0)), cancel->size());
    QColor surface = image.pixelColor(box.topLeft() + QPoint(1, 1));
    double best = 1;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            QColor c = image.pixelColor(x, y);
            best = std::max(best, contrastRatio(rgb255(c.red(), c.green(), c.blue()),
                                                rgb255(surface.red(), surface.green(), surface.blue())));
        }
    EXPECT_GE(best, 4.5) << "Cancel's letters against its surface";
    auto* bar = chooser.findChild<QListWidget*>()->verticalScrollBar();
    ASSERT_FALSE(bar->isHidden()) << "forty rows scroll";
    QPoint track = bar->mapTo(&chooser, QPoint(bar->width() / 2, bar->height() - 3));
    EXPECT_LT(contrastRatio(rgb255(qRed(image.pixel(track)), qGreen(image.pixel(track)), qBlue(image.pixel(track))),
                            Palette::bg),
              1.5)
        << "the track is the window's dark colour";
}

// The Focus row offers the shortcuts folder's executables and None; the mode's own stays listed when the folder
// lacks it, and a choice is saved at once.
TEST_F(ModesWindow, TheFocusRowListsTheShortcutsAndSavesTheChoice) {
    shortcuts = {"do-not-disturb-off", "do-not-disturb"};
    SlapMode focused = stored(1, "Work");
    focused.focusModeIdentifier = "gone";
    auto& e = open({focused, stored(2, "Play")});
    auto items = [&] {
        std::vector<std::string> out;
        for (int i = 0; i < e.focusChoice->count(); ++i)
            out.push_back(e.focusChoice->itemText(i).toStdString());
        return out;
    };
    EXPECT_EQ(items(), (std::vector<std::string>{"None", "do-not-disturb", "do-not-disturb-off", "gone"}));
    EXPECT_EQ(e.focusChoice->currentText(), "gone");
    e.focusChoice->setCurrentIndex(1);
    emit e.focusChoice->activated(1);
    EXPECT_EQ(storedFor(1)->focusModeIdentifier, "do-not-disturb");
    e.loadMode(2);
    EXPECT_EQ(e.focusChoice->currentText(), "None");
    EXPECT_EQ(items().size(), 3u) << "the other mode's missing shortcut is not offered here";
    emit e.focusChoice->activated(2);
    EXPECT_EQ(storedFor(2)->focusModeIdentifier, "do-not-disturb-off");
    emit e.focusChoice->activated(0);
    EXPECT_FALSE(storedFor(2)->focusModeIdentifier) << "None runs none";
}

TEST_F(ModesWindow, RemovingARowKeepsWhatWasJustTypedInAnother) {
    auto& e = open({stored(1, "", {}, {"a.com", "b.com"})});
    show();
    QLineEdit* second = field(e.urlsStack, 1);
    second->setFocus();
    second->selectAll();
    QTest::keyClicks(second, "typed.com");
    clickRemove(e.urlsStack, 0); // within the typing delay, focus still in the field
    EXPECT_EQ(storedFor(1)->openURLs, std::vector<std::string>{"typed.com"});
    EXPECT_EQ(rows(e.urlsStack), std::vector<std::string>{"typed.com"});
}
