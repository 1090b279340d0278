#include "viewmodels/ModeEditor.h"
#include "TempDir.h"
#include "VirtualLoop.h"
#include "common/AtomicFile.h"
#include "modes/ModeCoding.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

SlapMode storedMode(int count, std::string name, std::vector<std::string> urls = {},
                    std::vector<std::string> apps = {}) {
    SlapMode mode;
    mode.slapCount = count;
    mode.name = std::move(name);
    mode.openURLs = std::move(urls);
    mode.openApps = std::move(apps);
    return mode;
}

struct EditorHarness {
    test::TempDir dir;
    test::VirtualLoop loop;
    std::shared_ptr<ModeManager> manager;
    std::unique_ptr<ModeEditor> editor;
    std::string nameField;
    int saves = 0, rebuilds = 0, closes = 0;

    explicit EditorHarness(const std::vector<SlapMode>& modes) {
        writeFileAtomically(dir / "modes.json", encodeModes(modes));
        manager = std::make_shared<ModeManager>(nullptr, dir / "modes.json");
        editor = std::make_unique<ModeEditor>(manager, loop);
        editor->nameText = [this] { return nameField; };
        editor->onModesChanged = [this] { ++saves; };
        editor->onLoaded = [this] { nameField = editor->mode().name; };
        editor->onListsChanged = [this] { ++rebuilds; };
        editor->onClose = [this] { ++closes; };
        editor->loadMode(1);
    }
    std::optional<SlapMode> storedFor(int count) const {
        auto stored = decodeModes(readWholeFile(dir / "modes.json").value_or(""));
        for (const auto& mode : stored.value_or(std::vector<SlapMode>{}))
            if (mode.slapCount == count) return mode;
        return std::nullopt;
    }
};

} // namespace

TEST(ModeEditor, LoadsTheStoredModeOrABlankOneAndHidesBlankLinks) {
    EditorHarness h({storedMode(1, "Work", {"  ", "a.com", "\n"}), storedMode(2, "Play")});
    EXPECT_EQ(h.editor->count(), 1);
    EXPECT_EQ(h.nameField, "Work");
    EXPECT_EQ(h.editor->mode().openURLs, std::vector<std::string>{"a.com"});
    EXPECT_EQ(h.storedFor(1)->openURLs.size(), 3u) << "the store keeps them until the mode is saved";

    h.editor->loadMode(3);
    EXPECT_EQ(h.editor->mode().slapCount, 3);
    EXPECT_EQ(h.nameField, "");
    EXPECT_FALSE(h.storedFor(3));
}

TEST(ModeEditor, ChangingTheCountSavesTheModeLeftWithoutBlankLinks) {
    EditorHarness h({storedMode(1, "Work", {"a.com"}), storedMode(3, "Deep", {}, {"org.gnome.Nautilus"})});
    h.editor->addEntry(ModeList::openURLs);
    h.editor->addEntry(ModeList::closeURLs);
    EXPECT_EQ(h.storedFor(1)->openURLs, (std::vector<std::string>{"a.com", ""})) << "stored at once";
    h.nameField = "Work 2";
    h.editor->tapCountChanged(2);
    auto work = h.storedFor(1);
    EXPECT_EQ(work->openURLs, std::vector<std::string>{"a.com"});
    EXPECT_TRUE(work->closeURLs.empty());
    EXPECT_EQ(work->name, "Work 2") << "saving reads the name field";
    EXPECT_EQ(h.editor->count(), 3);
    EXPECT_EQ(h.nameField, "Deep");
    EXPECT_EQ(h.editor->mode().openApps, std::vector<std::string>{"org.gnome.Nautilus"});

    // Leaving a count that had no mode stores a blank one for it.
    h.editor->loadMode(2);
    h.editor->tapCountChanged(0);
    ASSERT_TRUE(h.storedFor(2));
    EXPECT_EQ(h.storedFor(2)->name, "");
}

TEST(ModeEditor, AddingAppsSkipsDuplicatesAndKeepsTheChoosersOrder) {
    EditorHarness h({storedMode(1, "", {}, {"firefox"})});
    h.editor->addApps(ModeList::openApps, {"firefox"});
    EXPECT_EQ(h.saves, 0) << "an app already listed neither changes the list nor saves";

    h.editor->addApps(ModeList::quitApps, {"org.gnome.Calculator", "", "xterm", "chromium", "xterm"});
    EXPECT_EQ(h.editor->mode().quitApps, (std::vector<std::string>{"org.gnome.Calculator", "xterm", "chromium"}));
    EXPECT_EQ(h.saves, 3);
    EXPECT_EQ(h.rebuilds, 3);
    EXPECT_EQ(h.storedFor(1)->quitApps, h.editor->mode().quitApps);
    EXPECT_EQ(h.storedFor(1)->openApps, std::vector<std::string>{"firefox"});
}

TEST(ModeEditor, EditsAndRemovalsByIndex) {
    EditorHarness h({storedMode(1, "", {"a.com", "b.com"})});
    unsigned made = h.editor->generation();
    h.editor->editEntry(ModeList::openURLs, 1, " b.org ", made);
    EXPECT_EQ(h.storedFor(1)->openURLs, (std::vector<std::string>{"a.com", " b.org "})) << "stored as delivered";
    EXPECT_EQ(h.rebuilds, 0) << "an edit does not rebuild the rows";

    h.editor->editEntry(ModeList::openURLs, 2, "c.com", made);
    h.editor->removeEntry(ModeList::openURLs, 5, made);
    EXPECT_EQ(h.saves, 1) << "indices past the end are ignored";

    h.editor->removeEntry(ModeList::openURLs, 0, made);
    EXPECT_EQ(h.storedFor(1)->openURLs, std::vector<std::string>{" b.org "});
    EXPECT_EQ(h.rebuilds, 1);

    // Rows made before the removal stand for other entries now: what they deliver is dropped.
    h.editor->editEntry(ModeList::openURLs, 0, "stale", made);
    h.editor->removeEntry(ModeList::openURLs, 0, made);
    EXPECT_EQ(h.storedFor(1)->openURLs, std::vector<std::string>{" b.org "});
}

TEST(ModeEditor, ALateEditAfterTheCountChangedNeverLandsInTheNewMode) {
    EditorHarness h({storedMode(1, "", {"a.com"}), storedMode(2, "", {"two.com"})});
    unsigned oneTapRows = h.editor->generation();
    h.editor->tapCountChanged(1);
    h.editor->editEntry(ModeList::openURLs, 0, "late.com", oneTapRows);
    h.editor->removeEntry(ModeList::openURLs, 0, oneTapRows);
    EXPECT_EQ(h.editor->mode().openURLs, std::vector<std::string>{"two.com"});
    EXPECT_EQ(h.storedFor(2)->openURLs, std::vector<std::string>{"two.com"});
    EXPECT_EQ(h.storedFor(1)->openURLs, std::vector<std::string>{"a.com"});

    h.editor->editEntry(ModeList::openURLs, 0, "new.com", h.editor->generation());
    EXPECT_EQ(h.storedFor(2)->openURLs, std::vector<std::string>{"new.com"});
}

TEST(ModeEditor, ConfirmAndCloseThenClosingStripsAndTheFooterResets) {
    SlapMode focus = storedMode(1, "Focus");
    focus.focusModeIdentifier = "do-not-disturb";
    EditorHarness h({focus});
    h.editor->addEntry(ModeList::closeURLs);
    h.nameField = "Focus now";
    int before = h.saves;
    h.editor->confirmAndClose();
    EXPECT_EQ(h.saves, before + 1);
    EXPECT_EQ(h.editor->footer(), (StyledText{"Saved ✓", Palette::good}));
    h.loop.advance(0.45);
    EXPECT_EQ(h.closes, 1);
    h.editor->windowWillClose();
    auto stored = h.storedFor(1);
    EXPECT_TRUE(stored->closeURLs.empty());
    EXPECT_EQ(stored->name, "Focus now");
    EXPECT_EQ(stored->focusModeIdentifier, "do-not-disturb") << "carried through every save";
    h.editor->resetFooter();
    EXPECT_EQ(h.editor->footer(), (StyledText{"Changes save automatically", Palette::textFaint}));
}

TEST(ModeEditor, FittedHeightIsCapped) {
    EXPECT_EQ(ModeEditor::fittedContentHeight(90, 2000, 30, 700), 630);
    EXPECT_EQ(ModeEditor::fittedContentHeight(90, 2000, 30, 2000), 820);
    EXPECT_EQ(ModeEditor::fittedContentHeight(90, 2000, 30, std::nullopt), 820);
    EXPECT_EQ(ModeEditor::fittedContentHeight(90, 100, 30, 2000), 100 + 90 + 34 + 18 + 12 + 30 + 20);
}

// The Focus row's choices, and a choice saved at once; None clears it.
TEST(ModeEditor, FocusChoicesAndSettingTheFocus) {
    using Choices = std::vector<std::string>;
    EXPECT_EQ(ModeEditor::focusChoices({"b", "a", "b"}, std::nullopt), (Choices{"None", "a", "b"}));
    EXPECT_EQ(ModeEditor::focusChoices({"b", "a"}, "a"), (Choices{"None", "a", "b"}));
    EXPECT_EQ(ModeEditor::focusChoices({}, "gone"), (Choices{"None", "gone"})) << "kept in view, not lost";
    EditorHarness h({storedMode(1, "Work")});
    h.editor->setFocus("do-not-disturb");
    EXPECT_EQ(h.storedFor(1)->focusModeIdentifier, "do-not-disturb");
    h.editor->setFocus("None");
    EXPECT_FALSE(h.storedFor(1)->focusModeIdentifier);
}
