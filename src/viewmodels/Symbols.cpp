#include "viewmodels/Symbols.h"

#include <array>
#include <utility>

namespace knokle {

std::optional<char32_t> symbolGlyph(std::string_view name) {
    // The closest glyphs of the Debian font (release 1.6.50), which has no waveform, hourglass or mountain.
    static constexpr std::array<std::pair<std::string_view, char32_t>, 13> glyphs{{
        {"waveform", 0xF430},             // pulse
        {"wind", 0xF59D},                 // weather-windy
        {"mountain.2.fill", 0xF2F5},      // image-filter-hdr
        {"hourglass", 0xF51F},            // timer-sand
        {"keyboard", 0xF30C},             // keyboard
        {"plus", 0xF415},                 // plus
        {"minus.circle.fill", 0xF376},    // minus-circle
        {"arrow.up.forward.app", 0xF3CB}, // open-in-app
        {"xmark.app", 0xF157},            // close-box
        {"link", 0xF337},                 // link
        {"xmark.circle", 0xF159},         // close-circle
        {"moon.fill", 0xF594},            // weather-night
        {"app.generic", 0xF614},          // application: an application without an icon of its own
    }};
    for (const auto& [symbol, glyph] : glyphs)
        if (symbol == name) return glyph;
    return std::nullopt;
}

} // namespace knokle
