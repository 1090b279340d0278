#pragma once

#include "modes/ModeManager.h"
#include "platform/MainLoop.h"
#include "viewmodels/CalibrationModel.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// The four lists of a mode that the editor shows.
enum class ModeList { openApps, quitApps, openURLs, closeURLs };

// The mode editor's rules: one mode at a time, the one bound to the chosen tap count, every change saved at
// once through the mode manager. The window shows the working copy and forwards the user's actions here.
class ModeEditor {
public:
    static constexpr double kCloseSeconds = 0.45;

    ModeEditor(std::shared_ptr<ModeManager> manager, MainLoop& loop);
    ~ModeEditor();
    ModeEditor(const ModeEditor&) = delete;
    ModeEditor& operator=(const ModeEditor&) = delete;

    int count() const { return tapCount; }
    const SlapMode& mode() const { return working; }
    const std::vector<std::string>& list(ModeList which) const;
    // Changes whenever the rows are made anew (a load, an entry added or removed): each row carries the value
    // it was made at, so that a late edit never lands in another mode or on another entry.
    unsigned generation() const { return rows; }
    const StyledText& footer() const { return footerLine; }

    void loadMode(int count);
    void save();
    void stripEmptyURLs();
    // The picker's choice, 0-based: the mode being left is saved without its blank links.
    void tapCountChanged(int index);
    // Appends each identifier not already in the list, saving after each.
    void addApps(ModeList which, const std::vector<std::string>& identifiers);
    // A new, empty link or tab text.
    void addEntry(ModeList which);
    // Entry i of a list, from a row made at the given generation; ignored when stale or out of range.
    void editEntry(ModeList which, size_t index, const std::string& text, unsigned madeAt);
    void removeEntry(ModeList which, size_t index, unsigned madeAt);
    // The Focus shortcut to run: a choice of focusChoices; kNoFocus runs none.
    void setFocus(const std::string& choice);
    void confirmAndClose();
    void resetFooter();
    // The window is closing, by whatever means.
    void windowWillClose();

    // The name field's text at this moment; saving reads it.
    std::function<std::string()> nameText;
    std::function<void()> onModesChanged; // after every save
    std::function<void()> onLoaded;       // a mode was loaded: show its name and lists
    std::function<void()> onListsChanged; // rows were added or removed
    std::function<void()> onFooterChange;
    std::function<void()> onClose;

    // The window's content height: everything it wants, capped by the screen (70 kept free, never over 820).
    static double wantedContentHeight(double header, double body, double footer);
    static double fittedContentHeight(double header, double body, double footer,
                                      std::optional<double> visibleScreenHeight);
    static constexpr const char* kNoFocus = "None";
    // What the Focus row offers: "None", the executables of the shortcuts folder by name, and the mode's own
    // shortcut where the folder lacks it (so that it is seen rather than lost).
    static std::vector<std::string> focusChoices(std::vector<std::string> executables,
                                                 const std::optional<std::string>& current);
    static constexpr const char* kAppsPlaceholder = "Nothing yet — click Add App";
    static constexpr const char* kLinksPlaceholder = "Nothing yet — click Add Link";
    static constexpr const char* kTabsPlaceholder = "Nothing yet — matches any tab containing the text";

private:
    std::vector<std::string>& mutableList(ModeList which);
    void changed();

    std::shared_ptr<ModeManager> manager;
    MainLoop& loop;
    int tapCount = 1;
    SlapMode working;
    unsigned rows = 0;
    StyledText footerLine;
    TimerHandle closeTimer;
};

} // namespace knokle
