#pragma once

#include "controller/StatusItem.h"

namespace knokle {

// Stands in for the tray item until the program has one: there is no icon to show, and the menu's content
// is built but not shown.
class NoStatusItem final : public StatusItem {
public:
    bool hasButton() const override { return false; }
    void setIcon(bool) override {}
    void setMenu(const std::vector<MenuItem>&) override {}
};

} // namespace knokle
