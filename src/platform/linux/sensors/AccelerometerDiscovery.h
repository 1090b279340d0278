#pragma once

#include "platform/PolledAccelerometer.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// "12.5 25 50 100 200" (or with "[min step max]" ranges, as some drivers write) as the rates listed.
std::vector<double> parseRateList(std::string_view text);
// The nearest available rate of at least `wanted`, else the highest; nothing for an empty list.
std::optional<double> nearestRateAtLeast(const std::vector<double>& rates, double wanted);

// Where an IIO accelerometer sits, from its label ("accel-base", "accel-display") or location file ("base",
// "lid"); empty when it does not say.
std::string iioLocation(std::string_view label, std::string_view location);

// IIO accelerometers under sysRoot/bus/iio/devices with x, y and z channels, and the platform accelerometers'
// joystick nodes (lis3lv02d, hdaps, applesmc) under sysRoot/class/input, their nodes under devRoot.
// Ordered best first: readable before busy, the base before anything else, then the faster.
std::vector<AccelerometerInfo> discoverAccelerometers(const std::filesystem::path& sysRoot,
                                                      const std::filesystem::path& devRoot);

// A file's first line without the line feed; nothing when it cannot be read.
std::optional<std::string> readFirstLine(const std::filesystem::path& file);

} // namespace knokle
