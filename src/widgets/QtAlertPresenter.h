#pragma once

#include "platform/AlertPresenter.h"

namespace knokle {

// Alerts as QMessageBox, brought in front of other applications.
class QtAlertPresenter final : public AlertPresenter {
public:
    int runModal(const Alert& alert) override;
};

} // namespace knokle
