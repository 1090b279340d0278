#include "widgets/TrayStatusItem.h"

#include "widgets/ModeRowWidget.h"
#include "widgets/StatusIcon.h"

#include <QApplication>
#include <QCursor>
#include <QWidgetAction>

namespace knokle {

TrayStatusItem::TrayStatusItem() {
    tray.setToolTip("Knokle");
    tray.setContextMenu(&menu);
    QObject::connect(&menu, &QMenu::aboutToShow, this, [this] {
        if (menuContent) setMenu(menuContent());
    });
    // A plain click shows the menu too: it is the program's whole presence. Not on Wayland, where a menu with no
    // window of ours to hang from opens as a window of its own in the middle of the screen; the panel shows the
    // menu itself there.
    if (!QGuiApplication::platformName().startsWith("wayland"))
        QObject::connect(&tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
            if (reason == QSystemTrayIcon::Trigger) menu.popup(QCursor::pos());
        });
    qApp->installEventFilter(this);
    refreshIcons();
    tray.setIcon(normalIcon);
}

void TrayStatusItem::show() {
    tray.show();
}

void TrayStatusItem::hide() {
    tray.hide();
}

bool TrayStatusItem::eventFilter(QObject* watched, QEvent* event) {
    // A theme change may turn the panel dark or light.
    if (watched == qApp && event->type() == QEvent::ApplicationPaletteChange) {
        refreshIcons();
        tray.setIcon(filled ? filledIcon : normalIcon);
    }
    return false;
}

void TrayStatusItem::setDesktopLook(std::function<DesktopAppearance()> read) {
    desktopLook = std::move(read);
    iconColour = QColor();
    refreshIcons();
    tray.setIcon(filled ? filledIcon : normalIcon);
}

void TrayStatusItem::refreshIcons() {
    DesktopAppearance look = desktopLook ? desktopLook() : DesktopAppearance{};
    look.windowLightness = QGuiApplication::palette().color(QPalette::Window).lightnessF();
    Colour c = statusGlyphColour(panelScheme(look));
    QColor colour = QColor::fromRgbF(float(c.red), float(c.green), float(c.blue));
    if (colour == iconColour && !normalIcon.isNull()) return;
    iconColour = colour;
    normalIcon = StatusIcon::icon(false, colour, kSymbolicStatusIcon);
    filledIcon = StatusIcon::icon(true, colour, kSymbolicFlashStatusIcon);
}

void TrayStatusItem::setIcon(bool on) {
    filled = on;
    tray.setIcon(on ? filledIcon : normalIcon);
}

QString TrayStatusItem::label(const std::string& title, bool exportedRow) {
    QString text = QString::fromStdString(title);
    text.replace("&", "&&");
    if (exportedRow) text.replace("_", "__");
    return text;
}

void TrayStatusItem::setMenu(const std::vector<MenuItem>& content) {
    menu.clear();
    for (const auto& item : content)
        addItem(item);
}

void TrayStatusItem::addItem(const MenuItem& item) {
    if (item.separator) {
        menu.addSeparator();
        return;
    }
    QAction* action = nullptr;
    if (!item.attributedTitle.empty()) {
        // The panel shows the exported plain text; where the program draws the menu, the row shows its runs.
        auto* row = new QWidgetAction(&menu);
        row->setText(label(item.displayText(), true));
        row->setDefaultWidget(new ModeRowWidget(item.attributedTitle, row));
        menu.addAction(row);
        action = row;
    } else {
        action = menu.addAction(label(item.title));
    }
    action->setEnabled(item.enabled);
    bool toggles = item.action == MenuAction::toggleActive || item.action == MenuAction::toggleAutoPause ||
                   item.action == MenuAction::toggleOpenAtLogin || item.action == MenuAction::toggleMicrophone ||
                   item.action == MenuAction::chooseMicrophone;
    action->setCheckable(toggles);
    action->setChecked(toggles && item.checked);
    // No shortcut is shown: neither a panel's menu nor a popup menu passes a Ctrl+key on to its items.
    QObject::connect(action, &QAction::triggered, this, [this, item] { choose(item); });
}

void TrayStatusItem::choose(const MenuItem& item) {
    // Queued: the menu is rebuilt by what the item does, and this action is part of it.
    QMetaObject::invokeMethod(
        this,
        [this, item] {
            if (onChoose) onChoose(item);
        },
        Qt::QueuedConnection);
}

} // namespace knokle
