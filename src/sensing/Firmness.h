#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace knokle {

// Everything that follows from how firm a tap must be. Level 3 is never stored; it keeps longer gesture windows
// for the detector's and counter's callers that ask for it, and otherwise behaves as level 2.
struct FirmnessLevel {
    int level;
    const char* name;
    double threshold;      // g: an event's peak must reach it
    double longestTap;     // s: a longer event is not a tap
    double initialWindow;  // s: the counter's first window
    double maxWindow;      // s: the counter's longest window
    double markerFraction; // where the threshold marker sits on the calibration meter
};

inline constexpr std::array<FirmnessLevel, 3> kFirmnessLevels{{
    {1, "Light", 0.052, 0.022, 1.0, 1.4, 0.38},
    {2, "Heavy", 0.12, 0.013, 1.3, 1.8, 0.6},
    {3, "Heavy", 0.12, 0.013, 2.2, 3.0, 0.6},
}};

// Any level, clamped to the table.
inline constexpr const FirmnessLevel& firmnessLevel(std::int64_t level) {
    return kFirmnessLevels[static_cast<std::size_t>(std::clamp<std::int64_t>(level, 1, 3) - 1)];
}

// The stored "firmness" setting (an integer reading, 0 when absent) as the level the program uses: 1 or 2.
inline constexpr int firmnessFromSetting(std::int64_t stored) {
    if (stored == 0) return 2;
    return stored <= 1 ? 1 : 2;
}

} // namespace knokle
