#pragma once

#include <optional>
#include <string>
#include <vector>

namespace knokle {

// The level asked for with the first "--level=" argument, when its rest is a whole decimal number; later ones
// are ignored even when the first does not parse.
std::optional<double> previewLevel(const std::vector<std::string>& args);

} // namespace knokle
