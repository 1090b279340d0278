#include "shell/Settings.h"
#include "MemoryUserDefaults.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

// What every reading gives for one stored state of one key.
struct Reading {
    const char* key;
    std::optional<StoredValue> stored; // nothing: key absent
    StoredValue expected;
};

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
    return OtherValue{};
}

std::string describe(const std::optional<StoredValue>& v) {
    if (!v) return "absent";
    return std::visit(
        [](const auto& x) -> std::string {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, OtherValue>)
                return "other";
            else if constexpr (std::is_same_v<T, std::string>)
                return "\"" + x + "\"";
            else if constexpr (std::is_same_v<T, bool>)
                return x ? "true" : "false";
            else
                return std::to_string(x);
        },
        *v);
}

using I = std::int64_t;
using S = std::string;

} // namespace

TEST(Settings, EveryKeyReadsAsTheTableSays) {
    const Reading table[] = {
        // tapsActive: only a stored boolean counts
        {"tapsActive", std::nullopt, false},
        {"tapsActive", true, true},
        {"tapsActive", false, false},
        {"tapsActive", S("true"), false},
        {"tapsActive", I(1), false},
        {"tapsActive", OtherValue{}, false},
        // didOnboard: the store's loose boolean reading
        {"didOnboard", std::nullopt, false},
        {"didOnboard", true, true},
        {"didOnboard", I(1), true},
        {"didOnboard", I(0), false},
        {"didOnboard", 0.5, true},
        {"didOnboard", S("YES"), true},
        {"didOnboard", S(" +07"), true},
        {"didOnboard", S("no"), false},
        {"didOnboard", S("0"), false},
        {"didOnboard", OtherValue{}, false},
        // firmness: integer reading, 0 gives 2, 1 or less gives 1, 2 or more gives 2
        {"firmness", std::nullopt, I(2)},
        {"firmness", I(0), I(2)},
        {"firmness", I(1), I(1)},
        {"firmness", I(2), I(2)},
        {"firmness", I(3), I(2)},
        {"firmness", I(-4), I(1)},
        {"firmness", 1.9, I(1)},
        {"firmness", 0.4, I(2)},
        {"firmness", S("1"), I(1)},
        {"firmness", S("3 taps"), I(2)},
        {"firmness", S("light"), I(2)},
        {"firmness", true, I(1)},
        {"firmness", false, I(2)},
        {"firmness", 1e300, I(2)},
        {"firmness", OtherValue{}, I(2)},
        // cooldownSeconds: floating-point reading, 0 gives 1.0
        {"cooldownSeconds", std::nullopt, 1.0},
        {"cooldownSeconds", 0.0, 1.0},
        {"cooldownSeconds", 2.5, 2.5},
        {"cooldownSeconds", I(3), 3.0},
        {"cooldownSeconds", S("5"), 5.0},
        {"cooldownSeconds", S("nan"), 1.0},
        {"cooldownSeconds", S("soon"), 1.0},
        {"cooldownSeconds", true, 1.0},
        {"cooldownSeconds", OtherValue{}, 1.0},
        // autoPause: only a stored boolean counts, default on
        {"autoPause", std::nullopt, true},
        {"autoPause", false, false},
        {"autoPause", true, true},
        {"autoPause", S("false"), true},
        {"autoPause", I(0), true},
        // hot key: only a stored integer in the unsigned 32-bit range counts
        {"hotkeyKeyCode", std::nullopt, I(17)},
        {"hotkeyKeyCode", I(49), I(49)},
        {"hotkeyKeyCode", I(0), I(0)},
        {"hotkeyKeyCode", I(4294967295), I(4294967295)},
        {"hotkeyKeyCode", I(4294967296), I(17)},
        {"hotkeyKeyCode", I(-1), I(17)},
        {"hotkeyKeyCode", 49.0, I(17)},
        {"hotkeyKeyCode", S("49"), I(17)},
        {"hotkeyKeyCode", true, I(17)},
        {"hotkeyMods", std::nullopt, I(2304)},
        {"hotkeyMods", I(768), I(768)},
        {"hotkeyMods", I(std::numeric_limits<std::int64_t>::min()), I(2304)},
        {"hotkeyMods", S("768"), I(2304)},
        // hotkeyDisplay: the string reading
        {"hotkeyDisplay", std::nullopt, S("⌥⌘T")},
        {"hotkeyDisplay", S("⇧⌘K"), S("⇧⌘K")},
        {"hotkeyDisplay", S(""), S("")},
        {"hotkeyDisplay", I(7), S("7")},
        {"hotkeyDisplay", OtherValue{}, S("⌥⌘T")},
        // openAppsFullScreen: only a stored boolean counts, default on
        {"openAppsFullScreen", std::nullopt, true},
        {"openAppsFullScreen", false, false},
        {"openAppsFullScreen", S("NO"), true},
    };
    for (const auto& row : table) {
        test::MemoryUserDefaults store;
        if (row.stored) store.values[row.key] = *row.stored;
        Settings settings(store);
        EXPECT_EQ(readingOf(settings, row.key), row.expected) << row.key << " stored as " << describe(row.stored);
    }
}

TEST(Settings, WritesKeepTheirTypesAndTheHotKeyIsWrittenAsThree) {
    test::MemoryUserDefaults store;
    Settings settings(store);
    settings.setTapsActive(true);
    settings.setFirmness(1);
    settings.setCooldownSeconds(2.0);
    settings.setHotkey(40, 0x0300, "⇧⌘K");
    EXPECT_EQ(store.values["tapsActive"], StoredValue(true));
    EXPECT_EQ(store.values["firmness"], StoredValue(I(1)));
    EXPECT_EQ(store.values["cooldownSeconds"], StoredValue(2.0));
    EXPECT_EQ(store.values["hotkeyKeyCode"], StoredValue(I(40)));
    EXPECT_EQ(store.values["hotkeyMods"], StoredValue(I(768)));
    EXPECT_EQ(store.values["hotkeyDisplay"], StoredValue(S("⇧⌘K")));
    EXPECT_TRUE(settings.tapsActive());
    EXPECT_EQ(settings.hotkeyKeyCode(), 40u);
}

TEST(Settings, ReadsGoToTheStoreEveryTime) {
    test::MemoryUserDefaults store;
    Settings settings(store);
    EXPECT_FALSE(settings.tapsActive());
    store.values["tapsActive"] = true; // written behind the reader's back
    EXPECT_TRUE(settings.tapsActive());
}

TEST(Settings, HugeOrNegativeCooldownsAreBounded) {
    // A hand-edited value must neither overflow the counter's timers nor silently mean "no cooldown".
    for (auto [stored, applied] : {std::pair{3e6, 60.0}, {1e10, 60.0}, {1e300, 60.0}, {-5.0, 0.0}, {59.5, 59.5}}) {
        test::MemoryUserDefaults store;
        store.values["cooldownSeconds"] = stored;
        EXPECT_EQ(Settings(store).cooldownSeconds(), applied) << stored;
    }
}
