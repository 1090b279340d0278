#pragma once

#include "viewmodels/StatusMenu.h"

#include <vector>

namespace knokle {

// The status item: an icon in the desktop's tray with a menu. It shows whatever content it is given; the
// controller rebuilds the content whenever it changes.
class StatusItem {
public:
    virtual ~StatusItem() = default;
    // Whether there is anything to show an icon in (a tray realisation without a tray has none).
    virtual bool hasButton() const = 0;
    // Shows the glyph, normal or slightly enlarged.
    virtual void setIcon(bool filled) = 0;
    // Replaces the whole menu.
    virtual void setMenu(const std::vector<MenuItem>& content) = 0;
};

} // namespace knokle
