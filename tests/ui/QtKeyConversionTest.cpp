#include "widgets/QtKeyConversion.h"
#include "controller/Hotkey.h"

#include <QKeyEvent>
#include <gtest/gtest.h>

using namespace knokle;

namespace {

struct Case {
    int qtKey;
    Qt::KeyboardModifiers modifiers;
    std::uint32_t keyCode;
    std::uint32_t mask;
    const char* display;
};

} // namespace

// What the recorder will store for a key press: the key code, the hot-key mask and the display text.
TEST(QtKeyConversion, KeyPressesBecomeStoredShortcuts) {
    const Case cases[] = {
        {Qt::Key_T, Qt::MetaModifier | Qt::AltModifier, 17, 0x0900, "⌥⌘T"},
        {Qt::Key_K, Qt::MetaModifier | Qt::ShiftModifier, 40, 0x0300, "⇧⌘K"},
        {Qt::Key_Space, Qt::ControlModifier | Qt::AltModifier, 49, 0x1800, "⌃⌥Space"},
        {Qt::Key_Return, Qt::AltModifier, 36, 0x0800, "⌥↩"},
        {Qt::Key_Enter, Qt::AltModifier | Qt::KeypadModifier, 76, 0x0800, "⌥↩"},
        {Qt::Key_Left, Qt::AltModifier, 123, 0x0800, "⌥←"},
        {Qt::Key_A, Qt::ShiftModifier, 0, 0x0200, "⇧A"},
        // With shift Qt reports the shifted symbol; the stored key is the one that was pressed.
        {Qt::Key_Exclam, Qt::ShiftModifier | Qt::MetaModifier, 18, 0x0300, "⇧⌘1"},
        {Qt::Key_5, Qt::MetaModifier | Qt::KeypadModifier, 87, 0x0100, "⌘5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.display);
        QKeyEvent event(QEvent::KeyPress, c.qtKey, c.modifiers);
        RecordedKey key = convertKeyEvent(event);
        ASSERT_TRUE(key.keyCode.has_value());
        EXPECT_EQ(*key.keyCode, c.keyCode);
        EXPECT_EQ(GlobalHotKey::carbonModifiers(key.flags), c.mask);
        EXPECT_EQ(GlobalHotKey::displayString(static_cast<std::uint16_t>(*key.keyCode), key.flags, key.characters),
                  c.display);
    }
}

TEST(QtKeyConversion, KeysNoShortcutCanUseHaveNoKeyCode) {
    EXPECT_FALSE(convertKey(Qt::Key_MediaPlay, Qt::MetaModifier).keyCode.has_value());
    EXPECT_FALSE(convertKey(Qt::Key_Meta, Qt::MetaModifier).keyCode.has_value());
}
