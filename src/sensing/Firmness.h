#pragma once

#include <array>
#include <cstdint>

namespace knokle {

// Everything that follows from how firm a tap must be.
struct FirmnessLevel {
    int level;
    const char* name;
    double threshold;      // g: an event's peak must reach it
    double longestTap;     // s: a longer event is not a tap
    double initialWindow;  // s: the counter's first window
    double maxWindow;      // s: the counter's longest window
    double markerFraction; // where the threshold marker sits on the calibration meter
};

inline constexpr std::array<FirmnessLevel, 2> kFirmnessLevels{{
    {1, "Light", 0.052, 0.022, 1.0, 1.4, 0.38},
    {2, "Heavy", 0.12, 0.013, 1.3, 1.8, 0.6},
}};

// The level a user's pick means: 1 at or below 1, else 2.
inline constexpr int userFirmness(std::int64_t picked) {
    return picked <= 1 ? 1 : 2;
}

// Any level, as the table has it.
inline constexpr const FirmnessLevel& firmnessLevel(std::int64_t level) {
    return kFirmnessLevels[static_cast<std::size_t>(userFirmness(level) - 1)];
}

// Within an open gesture a follow-up tap needs this share of the previous tap's strength, and never less than the
// source's floor: the second tap of a gesture is often lighter than the first.
inline constexpr double kFollowUpShare = 0.45;
inline constexpr double followUpThreshold(double previous, double floor) {
    return previous * kFollowUpShare > floor ? previous * kFollowUpShare : floor;
}

// The stored "firmness" setting (an integer reading, 0 when absent) as the level the program uses.
inline constexpr int firmnessFromSetting(std::int64_t stored) {
    return stored == 0 ? 2 : userFirmness(stored);
}

} // namespace knokle
