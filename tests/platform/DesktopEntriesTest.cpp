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

TEST(DesktopEntries, IndexMatchesResolvedExecutablesOnlyWhenUnambiguous) {
    test::TempDir temp;
    fs::path user = temp / "user";
    fs::path system = temp / "system";
    fs::path bin = temp / "bin";
    fs::create_directories(user / "sub");
    fs::create_directories(system);
    fs::create_directories(bin);
    auto entry = [](const fs::path& path, const std::string& body) {
        ASSERT_TRUE(writeFileAtomically(path, "[Desktop Entry]\nType=Application\n" + body));
    };
    for (const char* program : {"editor", "viewer", "xterm", "mine-user", "mine-system", "gone"}) {
        ASSERT_TRUE(writeFileAtomically(bin / program, "#!/bin/sh\n"));
        fs::permissions(bin / program, fs::perms::owner_all);
    }
    fs::create_symlink(bin / "editor", bin / "editor-link");
    ASSERT_TRUE(writeFileAtomically(bin / "not-executable", ""));
    const std::string path = "/nonexistent:" + bin.string();
    setenv("PATH", (path + ":" + std::getenv("PATH")).c_str(), 1);

    entry(system / "editor.desktop", "Exec=" + (bin / "editor-link").string() + " %F\n");
    entry(user / "sub" / "viewer.desktop", "Exec=viewer\nStartupWMClass=ViewerWin\n");
    entry(system / "term-a.desktop", "Exec=xterm -e a\nCategories=System;TerminalEmulator;\n");
    entry(system / "term-b.desktop", "Exec=xterm -e b\nCategories=TerminalEmulator\n");
    entry(user / "gone.desktop", "Hidden=true\n"); // the user's hidden copy shadows the system entry
    entry(system / "gone.desktop", "Exec=gone\n");
    entry(user / "mine.desktop", "Exec=mine-user\n"); // the user's copy of an ID wins over the system's
    entry(system / "mine.desktop", "Exec=mine-system\n");

    DesktopEntryIndex index({user, system}, std::chrono::hours(1));
    struct Case {
        std::string executable;
        std::optional<std::string> id;
    };
    const Case cases[] = {
        {"editor", "editor"},  {"viewer", "sub-viewer"},      {"xterm", std::nullopt},       {"gone", std::nullopt},
        {"mine-user", "mine"}, {"mine-system", std::nullopt}, {"editor-link", std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(index.idForExecutable((bin / c.executable).string()), c.id) << c.executable;
    EXPECT_EQ(index.terminalEmulators(), (std::vector<std::string>{"term-a", "term-b"}));
    EXPECT_EQ(index.entry("sub-viewer")->startupWMClass, "ViewerWin");
    EXPECT_FALSE(index.isInstalled("gone"));
    EXPECT_EQ(index.idForFile(user / "sub" / "viewer.desktop"), "sub-viewer");
    EXPECT_EQ(index.idForFile("/elsewhere/loose.desktop"), "loose");

    EXPECT_EQ(resolvedProgram("editor-link", path), (bin / "editor").string());
    EXPECT_EQ(resolvedProgram("not-executable", path), std::nullopt);
    EXPECT_EQ(resolvedProgram("relative/editor", path), std::nullopt);

    // Until the check interval has passed the reading is kept; then a changed folder is read again.
    entry(system / "late.desktop", "Exec=late\n");
    EXPECT_FALSE(index.isInstalled("late"));
    DesktopEntryIndex fresh({user, system}, std::chrono::seconds(0));
    EXPECT_TRUE(fresh.isInstalled("late"));
    fs::remove(system / "late.desktop");
    fs::last_write_time(system, fs::last_write_time(system) + std::chrono::seconds(2));
    EXPECT_FALSE(fresh.isInstalled("late"));
}
