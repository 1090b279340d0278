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

// Where an IIO accelerometer sits, from its label ("accel-base", "accel-display"), udev's ACCEL_LOCATION (from
// the hardware database, for parts whose driver does not say) or its location file ("base", "lid"), in that
// order; empty when none says.
std::string iioLocation(std::string_view label, std::string_view location, std::string_view udevLocation = {});

// A device's udev property, from udev's database entry for its character device (`c<major>:<minor>`, named by
// the `dev` file in its sysfs folder); empty when it has none.
std::string udevProperty(const std::filesystem::path& udevData, const std::filesystem::path& deviceFolder,
                         std::string_view name);

// IIO accelerometers under sysRoot/bus/iio/devices with x, y and z channels, and the platform accelerometers'
// joystick nodes (lis3lv02d, hdaps, applesmc) under sysRoot/class/input, their nodes under devRoot. udev's
// database is read from run/udev/data beside sysRoot (/run/udev/data for /sys).
// Ordered best first: readable before busy, the base before anything else, then the faster.
std::vector<AccelerometerInfo> discoverAccelerometers(const std::filesystem::path& sysRoot,
                                                      const std::filesystem::path& devRoot);

// A file's first line without the line feed; nothing when it cannot be read.
std::optional<std::string> readFirstLine(const std::filesystem::path& file);

} // namespace knokle
