#pragma once

#include "platform/MainLoop.h"
#include "platform/Workspace.h"
#include "viewmodels/ApplicationCatalog.h"
#include "viewmodels/ModeEditor.h"

#include <QObject>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QScrollArea;
class QVBoxLayout;
class QWidget;

namespace knokle {

class SlidingSegmented;
class ThemedTextField;

// The mode editor window ("Knokle Modes"): the mode for the tap count picked at the top, its name and its four
// lists, every change saved at once. Closing hides the window; it is kept for the next opening.
class ModesWindowController : public QObject {
public:
    static constexpr int kWidth = 560;

    struct Services {
        MainLoop& loop;
        Workspace* workspace = nullptr;                             // names and icons of applications
        std::function<std::vector<InstalledApplication>()> catalog; // what the application chooser lists
        std::function<void(QWidget*)> present;                      // shows the window in front
        // The visible height of the window's screen; nothing when there is no screen to fit.
        std::function<std::optional<double>(QWidget*)> screenHeight;
        // The executables a mode can run as its Focus shortcut.
        std::function<std::vector<std::string>()> shortcuts;
    };

    ModesWindowController(std::shared_ptr<ModeManager> manager, Services services);
    ~ModesWindowController() override;

    void loadMode(int count) { editor.loadMode(count); }
    void resetFooter() { editor.resetFooter(); }
    int count() const { return editor.count(); }
    void present();
    QWidget* window() const { return windowWidget.get(); }
    ModeEditor& model() { return editor; }

    // Run after every save.
    std::function<void()> onModesChanged;
    // Run once the window has closed.
    std::function<void()> onClosed;
    // Asks the user for applications; answers with their IDs in the order chosen (nothing when cancelled).
    // Replaceable for tests; by default the application chooser, modal to the editor.
    std::function<void(std::function<void(std::vector<std::string>)>)> chooseApplications;

    // User actions.
    void tapCountChanged(int index);
    void addApps(ModeList which);
    void addEntry(ModeList which);
    void doneTapped();

    // The views, once built.
    SlidingSegmented* tapPicker = nullptr;
    ThemedTextField* nameField = nullptr;
    QLabel* savedHint = nullptr;
    QVBoxLayout* opensStack = nullptr;
    QVBoxLayout* quitsStack = nullptr;
    QVBoxLayout* urlsStack = nullptr;
    QVBoxLayout* closeUrlsStack = nullptr;
    QComboBox* focusChoice = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildUI();
    QWidget* buildHeader();
    QWidget* buildBody();
    QWidget* buildFooter();
    void refreshLists();
    void fillAppRows(QVBoxLayout* stack, ModeList which);
    void fillFocusChoices();
    void fillLinkRows(QVBoxLayout* stack, ModeList which, const QString& placeholder, const QString& empty);
    // Delivers what is typed but not yet delivered, before the rows change.
    void flushEdits();
    void fit();
    void showFooter();

    Services services;
    ModeEditor editor;
    std::unique_ptr<QWidget> windowWidget;
    QWidget* headerBox = nullptr;
    QWidget* bodyStack = nullptr;
    QWidget* footerBar = nullptr;
    QScrollArea* scroller = nullptr;
};

} // namespace knokle
