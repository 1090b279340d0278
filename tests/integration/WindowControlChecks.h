#pragma once

#include "platform/WindowControl.h"

#include <gtest/gtest.h>

namespace knokle::test {

// What every compositor's window control does with its windows: kitty (pid 40, focused), then the text editor
// (pid 41, "org.gnome.TextEditor"), and one window that is not shown or not a normal one.
inline void checkFindsAndFullScreens(WindowControl& control) {
    auto all = control.topLevelWindows();
    ASSERT_EQ(all.size(), 2u) << "shown, normal windows only";
    auto editor = control.applicationWindow({41, {}, {}});
    EXPECT_EQ(editor, all[1]);
    EXPECT_EQ(control.applicationWindow({0, {"ORG.GNOME.TEXTEDITOR"}, {}}), editor) << "by name, ignoring case";
    EXPECT_EQ(control.applicationWindow({0, {"kitty"}, all}), std::nullopt) << "not a new one";
    EXPECT_EQ(control.isFullScreen(*editor), false);
    control.requestFullScreen(*editor);
    EXPECT_EQ(control.isFullScreen(*editor), true);
    EXPECT_EQ(control.isFullScreen(all[0]), false);
}

} // namespace knokle::test
