#include "widgets/TrayStatusItem.h"
#include "WidgetTesting.h"
#include "widgets/ModeRowWidget.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidgetAction>
#include <gtest/gtest.h>

using namespace knokle;

namespace {

MenuInputs inputs() {
    MenuInputs in;
    in.hotkeyDisplay = "⌥⌘T";
    in.tapsActive = true;
    in.modes = {{Uuid{}, "Deep_work & more", 2}, {Uuid{}, "Chat", 1}};
    return in;
}

// One line per action: its text and shortcut, or "---" for a separator. Toggles and disabled items are checked
// over D-Bus.
std::vector<std::string> shown(QMenu& menu) {
    std::vector<std::string> out;
    for (QAction* a : menu.actions())
        out.push_back(a->isSeparator() ? "---" : (a->text() + " " + a->shortcut().toString()).trimmed().toStdString());
    return out;
}

} // namespace

TEST(TrayStatusItem, MenuShowsItsContentIsRebuiltAsItOpensAndPassesChoicesOn) {
    test::ensureWidgetsApplication();
    TrayStatusItem item;
    item.setMenu(populate(inputs()));
    EXPECT_EQ(shown(item.contextMenu()),
              (std::vector<std::string>{"Taps Active  (⌥⌘T)", "Auto-pause after each tap", "---", "●○○   Chat",
                                        "●●○   Deep__work && more", "---", "Test Taps Ctrl+T", "Edit Modes Ctrl+E",
                                        "Open at Login", "---", "Quit Knokle Ctrl+Q"}));
    // Mode rows are drawn with their runs where the program draws the menu.
    auto* row = qobject_cast<QWidgetAction*>(item.contextMenu().actions()[3]);
    ASSERT_TRUE(row);
    EXPECT_TRUE(dynamic_cast<ModeRowWidget*>(row->defaultWidget()));

    // Rebuilt as it opens; choices arrive afterwards.
    MenuInputs in = inputs();
    item.menuContent = [&] { return populate(in); };
    std::vector<MenuItem> chosen;
    item.onChoose = [&](const MenuItem& m) { chosen.push_back(m); };

    in.tapsActive = false;
    emit item.contextMenu().aboutToShow();
    EXPECT_EQ(item.contextMenu().actions()[0]->text().toStdString(), "Taps Paused  (⌥⌘T)");

    item.contextMenu().actions()[0]->trigger();
    EXPECT_TRUE(chosen.empty()) << "the choice waits until the menu's own handling is over";
    QCoreApplication::processEvents();
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0].action, MenuAction::toggleActive);

    // A click on a drawn mode row chooses that mode.
    row = qobject_cast<QWidgetAction*>(item.contextMenu().actions()[3]);
    ASSERT_TRUE(row);
    QWidget* widget = row->defaultWidget();
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(widget, &release);
    QCoreApplication::processEvents();
    ASSERT_EQ(chosen.size(), 2u);
    EXPECT_EQ(chosen[1].action, MenuAction::testMode);
    EXPECT_EQ(chosen[1].displayText(), "●○○   Chat");
}
