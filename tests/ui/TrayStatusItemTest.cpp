#include "widgets/TrayStatusItem.h"
#include "TempDir.h"
#include "WidgetTesting.h"
#include "widgets/ModeRowWidget.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
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
                                        "●●○   Deep__work && more", "---", "Test Taps", "Edit Modes", "Open at Login",
                                        "---", "Quit Knokle"}))
        << "no Ctrl+key shortcuts that nothing would act on";
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

// The glyph as a panel that draws the given pictures shows it: on a dark panel it is light and on a light one
// dark, with at least 4.5:1 between its solid pixels and the panel. A panel that can tint the symbolic icon is
// given its name once the icon theme has it.
TEST(TrayStatusItem, GlyphStandsOutOnDarkAndLightPanelsAndNamesTheSymbolicIcon) {
    test::ensureWidgetsApplication();
    test::TempDir themes;
    QString folder = QString::fromStdString((themes / "hicolor/scalable/status").string());
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile index(QString::fromStdString((themes / "hicolor/index.theme").string()));
    ASSERT_TRUE(index.open(QIODevice::WriteOnly));
    index.write("[Icon Theme]\nName=Hicolor\nDirectories=scalable/status\n\n[scalable/status]\nSize=16\n"
                "MinSize=8\nMaxSize=512\nType=Scalable\n");
    index.close();
    QIcon::setThemeSearchPaths({QString::fromStdString(themes.path().string())});
    QIcon::setThemeName("hicolor");

    TrayStatusItem item;
    for (auto [look, panel] : {std::pair{DesktopAppearance{.currentDesktop = "GNOME"}, QColor(0, 0, 0)},
                               std::pair{DesktopAppearance{.colorScheme = "prefer-dark"}, QColor(43, 43, 43)},
                               std::pair{DesktopAppearance{.colorScheme = "prefer-light"}, QColor(239, 240, 241)}}) {
        item.setDesktopLook([look] { return look; });
        QImage onPanel(22, 22, QImage::Format_RGB32);
        onPanel.fill(panel);
        QPainter painter(&onPanel);
        painter.drawPixmap(0, 0, item.currentIcon().pixmap(22, 22));
        painter.end();
        int solid = 0;
        for (int y = 0; y < 22; ++y)
            for (int x = 0; x < 22; ++x) {
                QColor c = onPanel.pixelColor(x, y);
                if (c == panel) continue;
                double ratio = contrastRatio(rgb255(c.red(), c.green(), c.blue()),
                                             rgb255(panel.red(), panel.green(), panel.blue()));
                if (ratio >= 4.5) ++solid;
            }
        EXPECT_GT(solid, 40) << panel.name().toStdString() << ": the stem and bar of the t stand out";
        EXPECT_TRUE(item.currentIcon().name().isEmpty()) << "no symbolic icon installed yet";
    }
    QFile svg(folder + "/org.knokle.Knokle-symbolic.svg");
    ASSERT_TRUE(svg.open(QIODevice::WriteOnly));
    svg.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\"><path d=\"M4 2h8v12H4z\"/></svg>");
    svg.close();
    item.setDesktopLook([] { return DesktopAppearance{.colorScheme = "prefer-dark"}; });
    EXPECT_EQ(item.currentIcon().name(), "org.knokle.Knokle-symbolic");
    EXPECT_FALSE(item.currentIcon().pixmap(22, 22).isNull());
    QIcon::setThemeSearchPaths({});
}
