#pragma once

#include "platform/UserDefaults.h"

#include <cstdint>
#include <optional>
#include <string>

namespace knokle {

// Where taps come from: automatic picks the accelerometer where there is one, else the microphone if the user
// turned listening on.
enum class TapSourceChoice { automatic, accelerometer, microphone };

// The user's settings, read afresh from the store at every call: a value written anywhere is seen by the next
// reader. Each reading turns whatever is stored into the value the program works with.
class Settings {
public:
    static constexpr const char* kTapsActive = "tapsActive";
    static constexpr const char* kDidOnboard = "didOnboard";
    static constexpr const char* kFirmness = "firmness";
    static constexpr const char* kCooldownSeconds = "cooldownSeconds";
    static constexpr const char* kAutoPause = "autoPause";
    static constexpr const char* kHotkeyKeyCode = "hotkeyKeyCode";
    static constexpr const char* kHotkeyMods = "hotkeyMods";
    static constexpr const char* kHotkeyDisplay = "hotkeyDisplay";
    static constexpr const char* kOpenAppsFullScreen = "openAppsFullScreen";
    static constexpr const char* kTapSource = "tapSource";
    static constexpr const char* kMicrophoneEnabled = "microphoneEnabled";
    static constexpr const char* kMicrophoneSource = "microphoneSource";

    static constexpr std::uint32_t kDefaultHotkeyKeyCode = 17; // T
    static constexpr std::uint32_t kDefaultHotkeyMods = 2304;  // command + option
    static constexpr const char* kDefaultHotkeyDisplay = "⌥⌘T";
    static constexpr double kMaxCooldownSeconds = 60;

    explicit Settings(UserDefaults& store) : store(store) {}

    bool tapsActive() const;
    bool didOnboard() const;
    int firmness() const;           // 1 or 2
    double cooldownSeconds() const; // 0 reads as 1.0; bounded to 0...60
    bool autoPause() const;
    std::uint32_t hotkeyKeyCode() const;
    std::uint32_t hotkeyMods() const;
    std::string hotkeyDisplay() const; // as stored, for the files' sake
    std::string hotkeyText() const;    // as shown: computed from the key code and modifiers
    bool openAppsFullScreen() const;
    TapSourceChoice tapSource() const; // "auto", "accelerometer", "microphone"; anything else reads as auto
    bool microphoneEnabled() const;    // only a stored true turns listening on
    std::string microphoneSource() const; // empty: the desktop's default microphone

    void setTapsActive(bool on);
    void setDidOnboard(bool done);
    void setFirmness(std::int64_t level);
    void setCooldownSeconds(double seconds);
    void setAutoPause(bool on);
    void setMicrophoneEnabled(bool on);
    void setMicrophoneSource(const std::string& name); // empty: the default microphone
    void setHotkey(std::uint32_t keyCode, std::uint32_t modifiers, const std::string& display);

    // The store's own loose readings, as a defaults store gives them for any stored type.
    bool boolReading(const std::string& key) const;            // absent: false
    std::int64_t integerReading(const std::string& key) const; // absent: 0
    double doubleReading(const std::string& key) const;        // absent: 0
    std::optional<std::string> stringReading(const std::string& key) const;

    UserDefaults& defaults() const { return store; }

private:
    bool storedBool(const char* key, bool fallback) const;
    std::uint32_t storedUInt32(const char* key, std::uint32_t fallback) const;

    UserDefaults& store;
};

} // namespace knokle
