#include "controller/Settings.h"

#include "controller/Hotkey.h"
#include "sensing/Firmness.h"

#include "common/TextFormat.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace knokle {
namespace {

// Leading whitespace, an optional sign, digits; the rest of the text is ignored ("3 taps" reads 3).
std::int64_t leadingInteger(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    std::int64_t value = 0;
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        int digit = text[i] - '0';
        if (value > (max - digit) / 10) return negative ? std::numeric_limits<std::int64_t>::min() : max;
        value = value * 10 + digit;
    }
    return negative ? -value : value;
}

// A floating-point prefix; anything that is not a finite number reads 0.
double leadingDouble(const std::string& text) {
    const char* begin = text.c_str();
    char* end = nullptr;
    double value = std::strtod(begin, &end);
    if (end == begin || !std::isfinite(value)) return 0;
    return value;
}

// Doubles outside the integer range saturate instead of being undefined.
std::int64_t truncated(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 9.2233720368547758e18) return std::numeric_limits<std::int64_t>::max();
    if (value <= -9.2233720368547758e18) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(value);
}

// "YES", "true", "1", "  +7": a string is true when its first significant character is Y, T or a digit 1–9.
bool stringTruth(const std::string& text) {
    size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
        ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    while (i < text.size() && text[i] == '0')
        ++i;
    if (i >= text.size()) return false;
    char c = text[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

} // namespace

bool Settings::boolReading(const std::string& key) const {
    auto value = store.object(key);
    if (!value) return false;
    if (auto* b = std::get_if<bool>(&*value)) return *b;
    if (auto* i = std::get_if<std::int64_t>(&*value)) return *i != 0;
    if (auto* d = std::get_if<double>(&*value)) return *d != 0;
    if (auto* s = std::get_if<std::string>(&*value)) return stringTruth(*s);
    return false;
}

std::int64_t Settings::integerReading(const std::string& key) const {
    auto value = store.object(key);
    if (!value) return 0;
    if (auto* b = std::get_if<bool>(&*value)) return *b ? 1 : 0;
    if (auto* i = std::get_if<std::int64_t>(&*value)) return *i;
    if (auto* d = std::get_if<double>(&*value)) return truncated(*d);
    if (auto* s = std::get_if<std::string>(&*value)) return leadingInteger(*s);
    return 0;
}

double Settings::doubleReading(const std::string& key) const {
    auto value = store.object(key);
    if (!value) return 0;
    if (auto* b = std::get_if<bool>(&*value)) return *b ? 1 : 0;
    if (auto* i = std::get_if<std::int64_t>(&*value)) return static_cast<double>(*i);
    if (auto* d = std::get_if<double>(&*value)) return *d;
    if (auto* s = std::get_if<std::string>(&*value)) return leadingDouble(*s);
    return 0;
}

std::optional<std::string> Settings::stringReading(const std::string& key) const {
    auto value = store.object(key);
    if (!value) return std::nullopt;
    if (auto* s = std::get_if<std::string>(&*value)) return *s;
    // Numbers read as their decimal text, as a defaults store's string reading gives them.
    if (auto* b = std::get_if<bool>(&*value)) return std::string(*b ? "1" : "0");
    if (auto* i = std::get_if<std::int64_t>(&*value)) return std::to_string(*i);
    if (auto* d = std::get_if<double>(&*value)) return format("%g", *d);
    return std::nullopt;
}

bool Settings::storedBool(const char* key, bool fallback) const {
    auto value = store.object(key);
    if (value)
        if (auto* b = std::get_if<bool>(&*value)) return *b;
    return fallback;
}

std::uint32_t Settings::storedUInt32(const char* key, std::uint32_t fallback) const {
    auto value = store.object(key);
    if (!value) return fallback;
    auto* i = std::get_if<std::int64_t>(&*value);
    // Out of range for a key code or mask: the default, rather than a wrapped value.
    if (!i || *i < 0 || *i > std::numeric_limits<std::uint32_t>::max()) return fallback;
    return static_cast<std::uint32_t>(*i);
}

bool Settings::tapsActive() const {
    return storedBool(kTapsActive, false);
}
bool Settings::didOnboard() const {
    return boolReading(kDidOnboard);
}

int Settings::firmness() const {
    return firmnessFromSetting(integerReading(kFirmness));
}

double Settings::cooldownSeconds() const {
    double stored = doubleReading(kCooldownSeconds);
    if (stored == 0 || std::isnan(stored)) return 1.0;
    // A hand-edited huge value must not overflow the timers; a minute is far beyond any sensible cooldown.
    return std::clamp(stored, 0.0, kMaxCooldownSeconds);
}

bool Settings::autoPause() const {
    return storedBool(kAutoPause, true);
}
std::uint32_t Settings::hotkeyKeyCode() const {
    return storedUInt32(kHotkeyKeyCode, kDefaultHotkeyKeyCode);
}
std::uint32_t Settings::hotkeyMods() const {
    return storedUInt32(kHotkeyMods, kDefaultHotkeyMods);
}
std::string Settings::hotkeyDisplay() const {
    return stringReading(kHotkeyDisplay).value_or(kDefaultHotkeyDisplay);
}
std::string Settings::hotkeyText() const {
    return GlobalHotKey::shortcutText(hotkeyKeyCode(), hotkeyMods());
}
bool Settings::openAppsFullScreen() const {
    return storedBool(kOpenAppsFullScreen, true);
}

TapSourceChoice Settings::tapSource() const {
    auto stored = stringReading(kTapSource);
    if (stored == "accelerometer") return TapSourceChoice::accelerometer;
    if (stored == "microphone") return TapSourceChoice::microphone;
    return TapSourceChoice::automatic;
}
bool Settings::microphoneEnabled() const {
    return storedBool(kMicrophoneEnabled, false);
}
std::string Settings::microphoneSource() const {
    auto value = store.object(kMicrophoneSource);
    if (value)
        if (auto* s = std::get_if<std::string>(&*value)) return *s;
    return {};
}

void Settings::setTapsActive(bool on) {
    store.set(kTapsActive, on);
}
void Settings::setDidOnboard(bool done) {
    store.set(kDidOnboard, done);
}
void Settings::setFirmness(std::int64_t level) {
    store.set(kFirmness, level);
}
void Settings::setCooldownSeconds(double seconds) {
    store.set(kCooldownSeconds, seconds);
}
void Settings::setAutoPause(bool on) {
    store.set(kAutoPause, on);
}
void Settings::setMicrophoneEnabled(bool on) {
    store.set(kMicrophoneEnabled, on);
}
void Settings::setMicrophoneSource(const std::string& name) {
    if (name.empty())
        store.remove(kMicrophoneSource);
    else
        store.set(kMicrophoneSource, name);
}

void Settings::setHotkey(std::uint32_t keyCode, std::uint32_t modifiers, const std::string& display) {
    store.setAll({{kHotkeyKeyCode, static_cast<std::int64_t>(keyCode)},
                  {kHotkeyMods, static_cast<std::int64_t>(modifiers)},
                  {kHotkeyDisplay, display}});
}

} // namespace knokle
