#pragma once

#include "platform/BrowserScripting.h"
#include "shell/StatusItem.h"

namespace knokle {

// Stands in for the tray item until the program has one: there is no icon to show, and the menu's content
// is built but not shown.
class NoStatusItem final : public StatusItem {
public:
    bool hasButton() const override { return false; }
    void setIcon(bool) override {}
    void setMenu(const std::vector<MenuItem>&) override {}
};

// Stands in for browser tab control while the DevTools realisation cannot be linked into the program.
class NoBrowserScripting final : public BrowserScripting {
public:
    TabClosingResult closeTabs(const std::string&, const std::string&, const std::string&) override {
        return {std::nullopt, std::string("browser control is not available in this build")};
    }
};

} // namespace knokle
