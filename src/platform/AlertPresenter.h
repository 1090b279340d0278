#pragma once

#include <string>
#include <vector>

namespace knokle {

enum class AlertStyle { warning, informational, critical };

struct Alert {
    AlertStyle style = AlertStyle::warning;
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons; // the first is the default; none gives one "OK" button
};

// A modal alert, in front of other applications.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Blocks until the user answers; returns the index of the chosen button.
    virtual int runModal(const Alert& alert) = 0;
};

} // namespace knokle
