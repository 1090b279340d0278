#pragma once

#include "viewmodels/WindowPlacement.h"

#include <QRect>
#include <functional>

class QWidget;

namespace knokle {

// Shows one of the program's windows in front, placed beside the other one when both would open on the same
// spot. Works on any top-level widget.
class WindowPresenter {
public:
    // `activate` asks the desktop to bring a shown window forward and focus it, in the form its window
    // manager honours for a request that comes from a tray click or another launch; it runs once the
    // window is on screen.
    explicit WindowPresenter(std::function<void(QWidget*)> activate = {});

    // Shows `window` (nothing when it is null), avoiding `other` (may be null): a window that is already
    // visible is never moved, only brought to the front.
    void present(QWidget* window, QWidget* other) const;

    static ScreenRect screenRect(const QRect& rect);

private:
    std::function<void(QWidget*)> activate;
};

} // namespace knokle
