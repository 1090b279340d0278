#include "controller/Settings.h"
#include "MemoryUserDefaults.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

using I = std::int64_t;
using S = std::string;

StoredValue readingOf(const Settings& s, const std::string& key) {
    if (key == Settings::kTapsActive) return s.tapsActive();
    if (key == Settings::kDidOnboard) return s.didOnboard();
    if (key == Settings::kFirmness) return std::int64_t(s.firmness());
    if (key == Settings::kCooldownSeconds) return s.cooldownSeconds();
    if (key == Settings::kAutoPause) return s.autoPause();
    if (key == Settings::kHotkeyKeyCode) return std::int64_t(s.hotkeyKeyCode());
    if (key == Settings::kHotkeyMods) return std::int64_t(s.hotkeyMods());
    if (key == Settings::kHotkeyDisplay) return s.hotkeyDisplay();
    if (key == Settings::kOpenAppsFullScreen) return s.openAppsFullScreen();
    if (key == Settings::kTapSource) return I(s.tapSource());
    if (key == Settings::kMicrophoneEnabled) return s.microphoneEnabled();
    if (key == Settings::kMicrophoneSource) return s.microphoneSource();
    return OtherValue{};
}

constexpr I automatic = I(TapSourceChoice::automatic), accelerometer = I(TapSourceChoice::accelerometer),
            microphone = I(TapSourceChoice::microphone);

} // namespace

TEST(Settings, EveryKeyReadsAsTheTableSays) {
    const struct {
        const char* key;
        std::optional<StoredValue> stored; // nothing: key absent
        StoredValue expected;
    } table[] = {
        // clang-format off
        // tapsActive, autoPause, openAppsFullScreen: only a stored boolean counts
        {"tapsActive", std::nullopt, false}, {"tapsActive", true, true}, {"tapsActive", I(1), false},
        {"autoPause", std::nullopt, true}, {"autoPause", false, false}, {"autoPause", S("false"), true},
        {"openAppsFullScreen", std::nullopt, true}, {"openAppsFullScreen", false, false},
        // didOnboard: the store's loose boolean reading
        {"didOnboard", std::nullopt, false}, {"didOnboard", true, true}, {"didOnboard", I(1), true},
        {"didOnboard", 0.5, true}, {"didOnboard", S("YES"), true}, {"didOnboard", S(" +07"), true},
        {"didOnboard", S("no"), false}, {"didOnboard", S("0"), false}, {"didOnboard", OtherValue{}, false},
        // firmness: integer reading, 0 gives 2, 1 or less gives 1, 2 or more gives 2
        {"firmness", std::nullopt, I(2)}, {"firmness", I(0), I(2)}, {"firmness", I(1), I(1)},
        {"firmness", I(2), I(2)}, {"firmness", I(3), I(2)}, {"firmness", I(-4), I(1)}, {"firmness", 1.9, I(1)},
        {"firmness", 0.4, I(2)}, {"firmness", S("1"), I(1)}, {"firmness", S("3 taps"), I(2)},
        {"firmness", true, I(1)}, {"firmness", false, I(2)}, {"firmness", 1e300, I(2)},
        {"firmness", OtherValue{}, I(2)},
        // cooldownSeconds: floating-point reading, 0 gives 1.0, a huge hand-edited value stops at a minute
        {"cooldownSeconds", std::nullopt, 1.0}, {"cooldownSeconds", 0.0, 1.0}, {"cooldownSeconds", 2.5, 2.5},
        {"cooldownSeconds", I(3), 3.0}, {"cooldownSeconds", S("5"), 5.0}, {"cooldownSeconds", S("nan"), 1.0},
        {"cooldownSeconds", true, 1.0}, {"cooldownSeconds", 1e300, 60.0}, {"cooldownSeconds", -5.0, 0.0},
        {"cooldownSeconds", 59.5, 59.5},
        // hot key: only a stored integer in the unsigned 32-bit range counts
        {"hotkeyKeyCode", std::nullopt, I(17)}, {"hotkeyKeyCode", I(49), I(49)}, {"hotkeyKeyCode", I(0), I(0)},
        {"hotkeyKeyCode", I(4294967295), I(4294967295)}, {"hotkeyKeyCode", I(4294967296), I(17)},
        {"hotkeyKeyCode", I(-1), I(17)}, {"hotkeyKeyCode", 49.0, I(17)}, {"hotkeyMods", std::nullopt, I(2304)},
        {"hotkeyMods", I(768), I(768)}, {"hotkeyMods", I(std::numeric_limits<I>::min()), I(2304)},
        {"hotkeyMods", S("768"), I(2304)},
        // hotkeyDisplay: the string reading
        {"hotkeyDisplay", std::nullopt, S("⌥⌘T")}, {"hotkeyDisplay", S("⇧⌘K"), S("⇧⌘K")},
        {"hotkeyDisplay", S(""), S("")}, {"hotkeyDisplay", I(7), S("7")}, {"hotkeyDisplay", OtherValue{}, S("⌥⌘T")},
        // listening: off unless a stored true; the source choice by its exact name, else auto
        {"microphoneEnabled", std::nullopt, false}, {"microphoneEnabled", true, true},
        {"microphoneEnabled", S("true"), false}, {"microphoneEnabled", I(1), false},
        {"tapSource", std::nullopt, automatic}, {"tapSource", S("microphone"), microphone},
        {"tapSource", S("accelerometer"), accelerometer}, {"tapSource", S("Microphone"), automatic},
        {"tapSource", I(2), automatic}, {"microphoneSource", std::nullopt, S("")},
        {"microphoneSource", S("alsa_input.usb"), S("alsa_input.usb")}, {"microphoneSource", I(3), S("")},
        // clang-format on
    };
    for (const auto& row : table) {
        test::MemoryUserDefaults store;
        if (row.stored) store.values[row.key] = *row.stored;
        EXPECT_EQ(readingOf(Settings(store), row.key), row.expected) << "row " << &row - table;
    }
}

TEST(Settings, WritesKeepTheirTypesAndReadsGoToTheStoreEveryTime) {
    test::MemoryUserDefaults store;
    Settings settings(store);
    settings.setTapsActive(true);
    settings.setCooldownSeconds(2.0);
    settings.setHotkey(40, 0x0300, "⇧⌘K");
    EXPECT_EQ(store.values["cooldownSeconds"], StoredValue(2.0));
    EXPECT_EQ(store.values["hotkeyDisplay"], StoredValue(S("⇧⌘K")));
    EXPECT_TRUE(settings.tapsActive());
    store.values["tapsActive"] = false; // written behind the reader's back
    EXPECT_FALSE(settings.tapsActive());
}
