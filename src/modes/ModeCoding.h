#pragma once

#include "modes/SlapMode.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// The store file: a JSON array of mode objects. Strict: any error anywhere gives nothing.
std::optional<std::vector<SlapMode>> decodeModes(std::string_view json);
// Compact JSON in our own key order.
std::string encodeModes(const std::vector<SlapMode>& modes);
// One mode object standing alone as the whole document (the exec-mode file).
std::optional<SlapMode> decodeModeDocument(std::string_view json);

} // namespace knokle
