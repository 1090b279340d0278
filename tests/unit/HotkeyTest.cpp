#include "controller/Hotkey.h"
#include "FakeShellServices.h"
#include "VirtualLoop.h"
#include "common/VirtualKeys.h"

#include <set>

#include <gtest/gtest.h>

using namespace knokle;
namespace F = ModifierFlag;

TEST(Hotkey, DisplayStrings) {
    const std::tuple<std::uint16_t, std::uint64_t, std::optional<std::string>, std::string> cases[] = {
        // clang-format off
        {17, F::command | F::option, "t", "⌥⌘T"}, {40, F::command | F::shift, "K", "⇧⌘K"},
        {49, F::control | F::option, " ", "⌃⌥Space"}, {36, F::option, "\r", "⌥↩"}, {76, F::option, "\x03", "⌥↩"},
        {123, F::option, std::nullopt, "⌥←"}, {124, 0, std::nullopt, "→"}, {125, 0, std::nullopt, "↓"},
        {126, 0, std::nullopt, "↑"}, {48, F::control, "\t", "⌃⇥"}, {51, F::command, "\x7f", "⌘⌫"},
        {53, F::command, "\x1b", "⌘⎋"}, {0, F::shift, "a", "⇧A"},
        // every modifier, in the fixed order, whatever else is set
        {14, F::command | F::shift | F::option | F::control | F::capsLock | F::function, "e", "⌃⌥⇧⌘E"},
        {14, F::capsLock | F::numericPad | F::help, "e", "E"},
        // names from the characters: trimmed, upper-cased, "?" when nothing remains
        {41, F::command, " ;\n", "⌘;"}, {99, F::command, " \n\t", "⌘?"}, {99, F::command, std::nullopt, "⌘?"},
        {10, F::option, "é", "⌥É"}, {10, F::option, "ß", "⌥ß"},
        // clang-format on
    };
    for (const auto& [keyCode, flags, chars, display] : cases)
        EXPECT_EQ(GlobalHotKey::displayString(keyCode, flags, chars), display) << keyCode;
}

// A stored shortcut is read back through its code and recorded through its key: each must name exactly one other.
// Shown in Linux notation from the stored key code and mask, with every key named.
TEST(Hotkey, ShortcutTextInLinuxNotation) {
    const struct {
        std::uint32_t keyCode, mask;
        const char* text;
    } cases[] = {
        {17, HotKeyMask::command | HotKeyMask::option, "Super+Alt+T"},
        {40, HotKeyMask::control | HotKeyMask::shift, "Ctrl+Shift+K"},
        {96, HotKeyMask::option, "Alt+F5"},
        {90, HotKeyMask::command | HotKeyMask::control | HotKeyMask::option | HotKeyMask::shift,
         "Super+Ctrl+Alt+Shift+F20"},
        {36, HotKeyMask::control, "Ctrl+Return"},
        {49, HotKeyMask::option, "Alt+Space"},
        {123, HotKeyMask::command, "Super+Left"},
        {126, HotKeyMask::shift, "Shift+Up"},
        {116, HotKeyMask::control, "Ctrl+Page Up"},
        {87, HotKeyMask::command, "Super+Keypad 5"},
        {18, HotKeyMask::command, "Super+1"},
        {44, HotKeyMask::control, "Ctrl+/"},
        {200, HotKeyMask::control, "Ctrl+Key 200"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GlobalHotKey::shortcutText(c.keyCode, c.mask), c.text) << c.keyCode;
}

TEST(VirtualKeys, EachCodeNamesOneKeyAndEachKeyHasOneCode) {
    std::set<std::uint32_t> codes;
    std::set<std::tuple<char, NamedKey, int>> keys;
    for (const auto& key : virtualKeys()) {
        EXPECT_TRUE(codes.insert(key.code).second) << key.code;
        EXPECT_TRUE(keys.insert({key.character, key.named, key.functionNumber}).second) << key.code;
        EXPECT_EQ(virtualKey(key.code)->functionNumber, key.functionNumber) << key.code;
    }
}

TEST(Hotkey, CarbonModifiers) {
    EXPECT_EQ(GlobalHotKey::carbonModifiers(F::command | F::option), 2304u);
    EXPECT_EQ(GlobalHotKey::carbonModifiers(F::command | F::shift), 0x0300u);
    EXPECT_EQ(GlobalHotKey::carbonModifiers(F::shift), 0x0200u);
    EXPECT_EQ(GlobalHotKey::carbonModifiers(F::control), 0x1000u);
    EXPECT_EQ(GlobalHotKey::carbonModifiers(F::capsLock | F::function | F::numericPad | F::help), 0u);
}

TEST(GlobalHotKey, RegistersForItsLifeQueuesEachPressAndStepsAsideWhileSuspended) {
    test::FakeHotKeys service;
    test::VirtualLoop loop;
    int presses = 0;
    auto make = [&] { return GlobalHotKey::make(service, loop, 17, 2304, [&] { ++presses; }); };
    auto hotKey = make();
    ASSERT_EQ(service.journal, std::vector<std::string>{"register 17/2304"});
    service.press();
    EXPECT_EQ(presses, 0) << "a press is queued, not run inside the service's handler";
    loop.runPending();
    EXPECT_EQ(presses, 1);

    hotKey->suspend();
    hotKey->suspend();
    EXPECT_TRUE(hotKey->isSuspended());
    EXPECT_TRUE(service.registered.empty());
    EXPECT_EQ(service.journal, (std::vector<std::string>{"register 17/2304", "unregister 1"}));
    EXPECT_TRUE(hotKey->resume());
    EXPECT_TRUE(hotKey->resume()) << "resuming a registered key changes nothing";
    EXPECT_EQ(service.journal.size(), 3u);
    service.press();
    loop.runPending();
    EXPECT_EQ(presses, 2) << "the same press handler after resuming";
    hotKey.reset();
    EXPECT_TRUE(service.registered.empty());

    // Taken meanwhile: resuming fails and says why; the key is gone for good, so nothing unregisters twice.
    hotKey = make();
    hotKey->suspend();
    service.refuse = HotKeyFailure{HotKeyFailure::Kind::inUse, "in use by another program"};
    HotKeyFailure why;
    EXPECT_FALSE(hotKey->resume(&why));
    EXPECT_EQ(why.kind, HotKeyFailure::Kind::inUse);
    hotKey.reset();
    EXPECT_EQ(service.journal.back(), "register 17/2304");
}
