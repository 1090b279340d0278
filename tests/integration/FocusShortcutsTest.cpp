#include "TempDir.h"
#include "common/AtomicFile.h"

#include <gtest/gtest.h>

using namespace knokle;
namespace fs = std::filesystem;

// The shipped do-not-disturb shortcuts pick the desktop's own mechanism. Stand-ins for the desktops' tools
// record how they were called.
TEST(FocusShortcuts, EachDesktopGetsItsOwnMechanism) {
    test::TempDir temp;
    fs::create_directories(temp / "bin");
    for (const char* tool : {"gsettings", "xfconf-query", "python3"}) {
        ASSERT_TRUE(writeFileAtomically(temp / "bin" / tool, "#!/bin/sh\necho \"$(basename \"$0\") $*\" >> '" +
                                                                 (temp / "calls").string() + "'\n"));
        fs::permissions(temp / "bin" / tool, fs::perms::owner_all);
    }
    const fs::path shortcuts = fs::path(KNOKLE_SOURCE_DIR) / "share/shortcuts";
    struct Case {
        std::string desktop, shortcut, call;
    };
    const Case cases[] = {
        {"ubuntu:GNOME", "do-not-disturb", "gsettings set org.gnome.desktop.notifications show-banners false"},
        {"GNOME", "do-not-disturb-off", "gsettings set org.gnome.desktop.notifications show-banners true"},
        {"XFCE", "do-not-disturb", "xfconf-query -c xfce4-notifyd -p /do-not-disturb -n -t bool -s true"},
        {"XFCE", "do-not-disturb-off", "xfconf-query -c xfce4-notifyd -p /do-not-disturb -n -t bool -s false"},
    };
    for (const auto& c : cases) {
        fs::remove(temp / "calls");
        std::string command = "env PATH='" + (temp / "bin").string() + ":/usr/bin:/bin' XDG_CURRENT_DESKTOP='" +
                              c.desktop + "' '" + (shortcuts / c.shortcut).string() + "'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        EXPECT_EQ(readWholeFile(temp / "calls"), c.call + "\n") << c.desktop << " " << c.shortcut;
    }
    // Off when nothing holds an inhibition does nothing and succeeds.
    std::string off = "env DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent XDG_RUNTIME_DIR='" + temp.path().string() +
                      "' XDG_CURRENT_DESKTOP=KDE '" + (shortcuts / "do-not-disturb-off").string() + "'";
    EXPECT_EQ(std::system(off.c_str()), 0);
}
