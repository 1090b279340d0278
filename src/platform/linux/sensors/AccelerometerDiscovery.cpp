#include "platform/linux/sensors/AccelerometerDiscovery.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <fstream>

namespace knokle {
namespace fs = std::filesystem;

namespace {

std::string lower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
    return out;
}

std::optional<double> readNumber(const fs::path& file) {
    auto line = readFirstLine(file);
    if (!line) return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(line->c_str(), &end);
    if (end == line->c_str()) return std::nullopt;
    return value;
}

// The first of the files that exists.
std::optional<std::string> firstOf(const fs::path& folder, std::initializer_list<const char*> names) {
    for (const char* name : names)
        if (auto line = readFirstLine(folder / name)) return line;
    return std::nullopt;
}

std::optional<AccelerometerInfo> iioAccelerometer(const fs::path& folder, const fs::path& udevData) {
    std::error_code ec;
    for (const char* axis : {"in_accel_x_raw", "in_accel_y_raw", "in_accel_z_raw"})
        if (!fs::exists(folder / axis, ec)) return std::nullopt;
    AccelerometerInfo info;
    info.kind = "IIO";
    info.node = folder.string();
    info.name = readFirstLine(folder / "name").value_or(folder.filename().string());
    info.location = iioLocation(readFirstLine(folder / "label").value_or(""),
                                readFirstLine(folder / "location").value_or(""),
                                udevProperty(udevData, folder, "ACCEL_LOCATION"));
    auto rate = firstOf(folder, {"sampling_frequency", "in_accel_sampling_frequency"});
    info.rate = rate ? std::strtod(rate->c_str(), nullptr) : 0;
    auto available = firstOf(folder, {"sampling_frequency_available", "in_accel_sampling_frequency_available"});
    std::vector<double> rates = parseRateList(available.value_or(""));
    info.highestRate = rates.empty() ? 0 : *std::max_element(rates.begin(), rates.end());
    // AMD's sensor hub firmware refreshes its values every 200 ms whatever the driver is told.
    std::string resolved = fs::canonical(folder, ec).string();
    if (resolved.find("AMDI0080") != std::string::npos || resolved.find("amd_sfh") != std::string::npos) {
        info.rateCanBeRaised = false;
        info.highestRate = info.rate;
    }
    // With the buffer on, someone streams the part through its character device; raw reads would disturb it.
    for (const char* buffer : {"buffer/enable", "buffer0/enable"})
        if (readFirstLine(folder / buffer).value_or("0") == "1") info.busy = true;
    return info;
}

constexpr std::array<const char*, 3> kPlatformAccelerometers{"lis3lv02d", "hdaps", "applesmc"};

std::optional<AccelerometerInfo> joystickAccelerometer(const fs::path& js, const fs::path& devRoot) {
    fs::path input = js / "device";
    std::string name = readFirstLine(input / "name").value_or("");
    std::error_code ec;
    std::string driver = fs::read_symlink(input / "device" / "driver", ec).filename().string();
    std::string known;
    for (const char* part : kPlatformAccelerometers) {
        // lis3lv02d's input device is called "ST LIS3LV02DL Accelerometer".
        if (lower(name).find(part) != std::string::npos || driver == part) known = part;
    }
    if (known.empty()) return std::nullopt;
    AccelerometerInfo info;
    info.kind = "joystick";
    info.name = known;
    info.node = (devRoot / "input" / js.filename()).string();
    info.location = "base";
    // Polled input devices: "poll" is the interval in milliseconds (20 Hz by default).
    auto poll = readNumber(input / "poll");
    info.rate = poll && *poll > 0 ? 1000 / *poll : 20;
    auto pollMin = readNumber(input / "poll_min");
    info.highestRate = pollMin && *pollMin > 0 ? 1000 / *pollMin : 200;
    return info;
}

} // namespace

std::optional<std::string> readFirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return std::nullopt;
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back())))
        line.pop_back();
    return line;
}

std::vector<double> parseRateList(std::string_view text) {
    std::vector<double> rates;
    std::string copy(text);
    for (char& c : copy)
        if (c == '[' || c == ']' || c == ',') c = ' ';
    const char* p = copy.c_str();
    while (*p) {
        char* end = nullptr;
        double value = std::strtod(p, &end);
        if (end == p) {
            ++p;
            continue;
        }
        if (value > 0) rates.push_back(value);
        p = end;
    }
    return rates;
}

std::optional<double> nearestRateAtLeast(const std::vector<double>& rates, double wanted) {
    if (rates.empty()) return std::nullopt;
    std::optional<double> best;
    for (double rate : rates)
        if (rate >= wanted && (!best || rate < *best)) best = rate;
    return best ? best : *std::max_element(rates.begin(), rates.end());
}

std::string iioLocation(std::string_view label, std::string_view location, std::string_view udevLocation) {
    std::string l = lower(label);
    if (l == "accel-base") return "base";
    if (l == "accel-display") return "display";
    if (!udevLocation.empty()) return lower(udevLocation);
    return lower(location);
}

std::string udevProperty(const fs::path& udevData, const fs::path& deviceFolder, std::string_view name) {
    auto device = readFirstLine(deviceFolder / "dev"); // "241:0"
    if (!device || device->empty() || device->find('/') != std::string::npos) return "";
    std::ifstream entry(udevData / ("c" + *device));
    std::string prefix = "E:" + std::string(name) + "=";
    for (std::string line; std::getline(entry, line);)
        if (line.rfind(prefix, 0) == 0) return line.substr(prefix.size());
    return "";
}

std::vector<AccelerometerInfo> discoverAccelerometers(const fs::path& sysRoot, const fs::path& devRoot) {
    std::vector<AccelerometerInfo> found;
    std::error_code ec;
    fs::path udevData = (sysRoot / "..").lexically_normal() / "run/udev/data";
    for (const auto& entry : fs::directory_iterator(sysRoot / "bus/iio/devices", ec))
        if (auto info = iioAccelerometer(entry.path(), udevData)) found.push_back(*info);
    for (const auto& entry : fs::directory_iterator(sysRoot / "class/input", ec)) {
        if (entry.path().filename().string().rfind("js", 0) != 0) continue;
        if (auto info = joystickAccelerometer(entry.path(), devRoot)) found.push_back(*info);
    }
    auto rank = [](const AccelerometerInfo& a) {
        // The base feels a tap on the deck; the display's sensor swings on its hinge.
        int place = a.location == "base" ? 0 : a.location.empty() ? 1 : 2;
        return std::tuple(a.busy, place, -a.rate, a.node);
    };
    std::sort(found.begin(), found.end(), [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
    return found;
}

} // namespace knokle
