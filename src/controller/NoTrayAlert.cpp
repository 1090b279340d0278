#include "controller/NoTrayAlert.h"

namespace knokle {

Alert noTrayAlert(const std::string& currentDesktop) {
    Alert alert;
    alert.style = AlertStyle::warning;
    alert.messageText = "Knokle has nowhere to show its \"t\"";
    std::string how;
    if (currentDesktop.find("GNOME") != std::string::npos) {
        how = "GNOME shows tray items only with the AppIndicator extension: install it (sudo apt install "
              "gnome-shell-extension-appindicator), log out and in again, and turn on \"AppIndicator and "
              "KStatusNotifierItem Support\" in the Extensions app.";
    } else {
        how = "Add a panel item that shows tray items (called \"Status Tray\", \"System Tray\" or "
              "\"Notification Area\" in most panels' settings). On GNOME, install and turn on the AppIndicator "
              "extension (sudo apt install gnome-shell-extension-appindicator).";
    }
    alert.informativeText = "No panel on this desktop shows tray items, and Knokle's menu lives in one. " + how +
                            " Then start Knokle again.\n\nUntil then, Test Taps shows your taps and their settings; "
                            "Knokle ends when you close it.";
    alert.buttons = {"Quit", "Open Test Taps"};
    return alert;
}

} // namespace knokle
