#pragma once

#include "controller/StatusItem.h"
#include "viewmodels/StatusIconGeometry.h"

#include <QColor>
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QSystemTrayIcon>
#include <functional>

namespace knokle {

// The status item in the desktop's tray (StatusNotifierItem with its menu exported over DBusMenu, or an
// XEmbed tray icon with a menu the program draws), showing the menu content it is given.
class TrayStatusItem final : public QObject, public StatusItem {
public:
    TrayStatusItem();

    // The content to show, asked for each time the menu is about to open.
    std::function<std::vector<MenuItem>()> menuContent;
    // Called on the main loop, after the menu has closed, with the chosen item.
    std::function<void(const MenuItem&)> onChoose;

    // What the desktop tells about its look; the glyph is painted to stand out on the panel it implies.
    void setDesktopLook(std::function<DesktopAppearance()> read);

    void show();
    void hide();
    QMenu& contextMenu() { return menu; }
    QIcon currentIcon() const { return tray.icon(); }

    bool hasButton() const override { return true; }
    void setIcon(bool filled) override;
    void setMenu(const std::vector<MenuItem>& content) override;

    // An item's title as a menu label: "&" is no mnemonic; in a row exported to the panel "_" is none either.
    static QString label(const std::string& title, bool exportedRow = false);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addItem(const MenuItem& item);
    void choose(const MenuItem& item);
    void refreshIcons();

    QSystemTrayIcon tray;
    QMenu menu;
    bool filled = false;
    std::function<DesktopAppearance()> desktopLook;
    QColor iconColour;
    QIcon normalIcon, filledIcon;
};

} // namespace knokle
