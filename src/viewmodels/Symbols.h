#pragma once

#include <optional>
#include <string_view>

namespace knokle {

// The glyph of the symbol font (Material Design Icons) that stands for one of the design's symbol names;
// nothing for a name the windows never use.
std::optional<char32_t> symbolGlyph(std::string_view name);

} // namespace knokle
