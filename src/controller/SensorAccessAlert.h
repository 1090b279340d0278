#pragma once

#include "platform/AlertPresenter.h"
#include "platform/SensorAccess.h"

#include <string>

namespace knokle {

// What to tell a user whose accelerometer cannot be read: which device, why, and the commands that fix it.
Alert sensorAccessAlert(const SensorAccessProblem& problem);

// A word for a POSIX shell, in single quotes where it needs them.
std::string shellWord(const std::string& text);

} // namespace knokle
