#include "platform/linux/DesktopEntries.h"

#include "TempDir.h"
#include "common/AtomicFile.h"

#include <gtest/gtest.h>

using namespace knokle;
namespace fs = std::filesystem;

TEST(DesktopEntries, ExecProgram) {
    struct Case {
        std::string exec;
        std::optional<std::string> program;
    };
    const Case cases[] = {
        {"gedit %U", "gedit"},
        {"/usr/bin/firefox-esr %u", "/usr/bin/firefox-esr"},
        {"\"/opt/My App/bin/app\" --new-window %F", "/opt/My App/bin/app"},
        {"\"/opt/quote\\\"d/app\"", "/opt/quote\"d/app"},
        {"env GDK_BACKEND=x11 LANG=C /usr/bin/thing %f", "/usr/bin/thing"},
        {"/usr/bin/env -i bar", "bar"},
        {"   spaced   --x", "spaced"},
        {"env A=1", std::nullopt},
        {"\"unterminated", std::nullopt},
        {"", std::nullopt},
        {"\"\" arg", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(execProgram(c.exec), c.program) << c.exec;
}

TEST(DesktopEntries, ParseReadsTheMainGroupOnly) {
    auto facts = parseDesktopEntry("# comment\n[Desktop Entry]\nName=X\nExec = /opt/a\\sb/run %U \nHidden=false\n"
                                   "Exec[de]=ignored\n[Desktop Action new]\nExec=other\nHidden=true\n");
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->exec, "/opt/a b/run %U");
    EXPECT_FALSE(facts->hidden);

    auto hidden = parseDesktopEntry("[Desktop Entry]\r\nHidden=true\r\nExec=x\r\n");
    ASSERT_TRUE(hidden);
    EXPECT_TRUE(hidden->hidden);
    EXPECT_EQ(hidden->exec, "x");

    EXPECT_FALSE(parseDesktopEntry("[Something Else]\nExec=x\n"));
}

TEST(DesktopEntries, IdsFromFilesInsideApplicationFolders) {
    struct Case {
        std::string folder, file;
        std::optional<std::string> id;
    };
    const Case cases[] = {
        {"/usr/share/applications", "/usr/share/applications/firefox.desktop", "firefox"},
        {"/usr/share/applications", "/usr/share/applications/kde4/kate.desktop", "kde4-kate"},
        {"/usr/share/applications/", "/usr/share/applications/./org.gnome.Foo.desktop", "org.gnome.Foo"},
        {"/usr/share/applications", "/usr/share/other/x.desktop", std::nullopt},
        {"/usr/share/applications", "/usr/share/applications/readme.txt", std::nullopt},
        {"/usr/share/applications", "/usr/share/applications/.desktop", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(desktopEntryId(c.folder, c.file), c.id) << c.file;
}

TEST(DesktopEntries, IndexMatchesProgramsOnlyWhenUnambiguous) {
    test::TempDir temp;
    fs::path user = temp / "user";
    fs::path system = temp / "system";
    fs::create_directories(user / "sub");
    fs::create_directories(system);
    auto entry = [](const fs::path& path, const std::string& body) {
        ASSERT_TRUE(writeFileAtomically(path, "[Desktop Entry]\nType=Application\n" + body));
    };
    entry(system / "editor.desktop", "Exec=/usr/bin/editor %F\n");
    entry(user / "sub" / "viewer.desktop", "Exec=viewer\n");
    entry(system / "term-a.desktop", "Exec=xterm -e a\n");
    entry(system / "term-b.desktop", "Exec=xterm -e b\n");
    entry(system / "script.desktop", "Exec=sh -c \"run-me\"\n");
    // The user's hidden copy shadows the system entry of the same ID.
    entry(user / "gone.desktop", "Hidden=true\n");
    entry(system / "gone.desktop", "Exec=gone\n");
    // The user's copy of an ID wins over the system's.
    entry(user / "mine.desktop", "Exec=mine-user\n");
    entry(system / "mine.desktop", "Exec=mine-system\n");

    DesktopEntryIndex index({user, system}, std::chrono::hours(1));
    struct Case {
        std::string program;
        std::optional<std::string> id;
    };
    const Case cases[] = {
        {"editor", "editor"},   {"viewer", "sub-viewer"}, {"xterm", std::nullopt},       {"sh", std::nullopt},
        {"gone", std::nullopt}, {"mine-user", "mine"},    {"mine-system", std::nullopt}, {"nothing", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(index.idForProgram(c.program), c.id) << c.program;
    EXPECT_TRUE(index.isInstalled("sub-viewer"));
    EXPECT_FALSE(index.isInstalled("gone"));
    EXPECT_EQ(index.idForFile(user / "sub" / "viewer.desktop"), "sub-viewer");
    EXPECT_EQ(index.idForFile("/elsewhere/loose.desktop"), "loose");

    // Within the maximum age the reading is kept; an index that may be stale reads again.
    entry(system / "late.desktop", "Exec=late\n");
    EXPECT_FALSE(index.isInstalled("late"));
    DesktopEntryIndex fresh({user, system}, std::chrono::seconds(0));
    EXPECT_TRUE(fresh.isInstalled("late"));
}
