#include "viewmodels/ModeEditor.h"

#include "common/UnicodeText.h"

#include <algorithm>

namespace knokle {

namespace {

const char* const kSavesAutomatically = "Changes save automatically";

SlapMode blankMode(int count) {
    SlapMode mode;
    mode.slapCount = count;
    return mode;
}

void removeBlank(std::vector<std::string>& entries) {
    std::erase_if(entries, [](const std::string& entry) { return trimmedSpacesAndLineBreaks(entry).empty(); });
}

} // namespace

ModeEditor::ModeEditor(std::shared_ptr<ModeManager> manager, MainLoop& loop)
    : manager(std::move(manager)), loop(loop),
      working(blankMode(1)), footerLine{kSavesAutomatically, Palette::textFaint} {}

ModeEditor::~ModeEditor() {
    closeTimer.cancel();
}

const std::vector<std::string>& ModeEditor::list(ModeList which) const {
    return const_cast<ModeEditor*>(this)->mutableList(which);
}

std::vector<std::string>& ModeEditor::mutableList(ModeList which) {
    switch (which) {
    case ModeList::openApps:
        return working.openApps;
    case ModeList::quitApps:
        return working.quitApps;
    case ModeList::openURLs:
        return working.openURLs;
    case ModeList::closeURLs:
        break;
    }
    return working.closeURLs;
}

void ModeEditor::loadMode(int count) {
    tapCount = count;
    working = manager->mode(count).value_or(blankMode(count));
    // Blank links are hidden here but stay stored until this mode is next saved.
    removeBlank(working.openURLs);
    removeBlank(working.closeURLs);
    ++rows;
    if (onLoaded) onLoaded();
}

void ModeEditor::save() {
    if (nameText) working.name = nameText();
    manager->addOrUpdate(working);
    if (onModesChanged) onModesChanged();
}

void ModeEditor::setFocus(const std::string& choice) {
    if (choice.empty() || choice == kNoFocus)
        working.focusModeIdentifier.reset();
    else
        working.focusModeIdentifier = choice;
    save();
}

std::vector<std::string> ModeEditor::focusChoices(std::vector<std::string> executables,
                                                  const std::optional<std::string>& current) {
    std::sort(executables.begin(), executables.end());
    executables.erase(std::unique(executables.begin(), executables.end()), executables.end());
    if (current && !current->empty() && !std::binary_search(executables.begin(), executables.end(), *current))
        executables.push_back(*current);
    executables.insert(executables.begin(), kNoFocus);
    return executables;
}

void ModeEditor::stripEmptyURLs() {
    removeBlank(working.openURLs);
    removeBlank(working.closeURLs);
    save();
}

void ModeEditor::tapCountChanged(int index) {
    stripEmptyURLs();
    loadMode(index + 1);
}

void ModeEditor::changed() {
    save();
    ++rows;
    if (onListsChanged) onListsChanged();
}

void ModeEditor::addApps(ModeList which, const std::vector<std::string>& identifiers) {
    for (const auto& identifier : identifiers) {
        auto& apps = mutableList(which);
        if (identifier.empty() || std::find(apps.begin(), apps.end(), identifier) != apps.end()) continue;
        apps.push_back(identifier);
        changed();
    }
}

void ModeEditor::addEntry(ModeList which) {
    mutableList(which).emplace_back();
    changed();
}

void ModeEditor::editEntry(ModeList which, size_t index, const std::string& text, unsigned madeAt) {
    auto& entries = mutableList(which);
    if (madeAt != rows || index >= entries.size()) return;
    entries[index] = text;
    save();
}

void ModeEditor::removeEntry(ModeList which, size_t index, unsigned madeAt) {
    auto& entries = mutableList(which);
    if (madeAt != rows || index >= entries.size()) return;
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(index));
    changed();
}

void ModeEditor::confirmAndClose() {
    save();
    footerLine = {"Saved ✓", Palette::good};
    if (onFooterChange) onFooterChange();
    closeTimer.cancel();
    closeTimer = loop.after(Seconds(kCloseSeconds), [this] {
        if (onClose) onClose();
    });
}

void ModeEditor::resetFooter() {
    footerLine = {kSavesAutomatically, Palette::textFaint};
    if (onFooterChange) onFooterChange();
}

void ModeEditor::windowWillClose() {
    closeTimer.cancel();
    stripEmptyURLs();
}

double ModeEditor::wantedContentHeight(double header, double body, double footer) {
    return header + 34 + 18 + 12 + footer + 20 + body;
}

double ModeEditor::fittedContentHeight(double header, double body, double footer,
                                       std::optional<double> visibleScreenHeight) {
    double wanted = wantedContentHeight(header, body, footer);
    double cap = visibleScreenHeight ? std::min(*visibleScreenHeight - 70, 820.0) : 820.0;
    return std::min(wanted, cap);
}

} // namespace knokle
