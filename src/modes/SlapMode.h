#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace knokle {

struct Uuid {
    std::array<std::uint8_t, 16> bytes{};

    static Uuid random(); // version 4
    // The canonical hyphenated 36-character form, hex digits of either case; nothing otherwise.
    static std::optional<Uuid> parse(std::string_view text);
    std::string upperString() const;
    bool operator==(const Uuid&) const = default;
};

// One mode: what a gesture of slapCount taps runs. Applications are named by their identifiers (desktop
// entry IDs on Linux).
struct SlapMode {
    Uuid id = Uuid::random();
    std::string name;
    std::int64_t slapCount = 0;
    std::vector<std::string> openApps;
    std::vector<std::string> openURLs;
    std::vector<std::string> quitApps;
    std::vector<std::string> closeURLs;
    std::optional<std::string> focusModeIdentifier;

    bool operator==(const SlapMode&) const = default;
};

} // namespace knokle
