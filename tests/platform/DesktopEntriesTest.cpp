#include "platform/linux/desktop/DesktopEntries.h"
#include "platform/linux/desktop/DesktopEntryFile.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "platform/linux/desktop/XdgAutostartLoginItem.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace knokle;
namespace fs = std::filesystem;

TEST(DesktopEntries, ExecProgram) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"gedit %U", "gedit"},
        {"/usr/bin/firefox-esr %u", "/usr/bin/firefox-esr"},
        {"\"/opt/My App/bin/app\" --new-window %F", "/opt/My App/bin/app"},
        {"\"/opt/quote\\\"d/app\"", "/opt/quote\"d/app"},
        {"env GDK_BACKEND=x11 LANG=C /usr/bin/thing %f", "/usr/bin/thing"},
        {"/usr/bin/env -i bar", "bar"},
        {"env A=1", std::nullopt},
        {"\"unterminated", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [exec, program] : cases)
        EXPECT_EQ(execProgram(exec), program) << exec;
}

TEST(DesktopEntries, ParseReadsTheMainGroupOnly) {
    auto facts = parseDesktopEntry("# comment\r\n[Desktop Entry]\r\nExec = /opt/a\\sb/run %U \r\nHidden=true\r\n"
                                   "Exec[de]=ignored\r\n[Desktop Action new]\r\nExec=other\r\nHidden=false\r\n");
    ASSERT_TRUE(facts);
    EXPECT_EQ(facts->exec, "/opt/a b/run %U");
    EXPECT_TRUE(facts->hidden);
    EXPECT_FALSE(parseDesktopEntry("[Something Else]\nExec=x\n"));
}

TEST(DesktopEntries, IndexMatchesResolvedExecutablesOnlyWhenUnambiguous) {
    test::TempDir temp;
    fs::path user = temp / "user";
    fs::path system = temp / "system";
    fs::path bin = temp / "bin";
    for (const auto& folder : {user / "sub", system, bin})
        fs::create_directories(folder);
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
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"editor", "editor"},  {"viewer", "sub-viewer"},      {"xterm", std::nullopt},       {"gone", std::nullopt},
        {"mine-user", "mine"}, {"mine-system", std::nullopt}, {"editor-link", std::nullopt},
    };
    for (const auto& [executable, id] : cases)
        EXPECT_EQ(index.idForExecutable((bin / executable).string()), id) << executable;
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

TEST(XdgAutostartLoginItem, RegisterWritesTheEntryUnregisterRemovesItAndAHiddenOneIsNotEnabled) {
    test::TempDir dir;
    XdgAutostartLoginItem item({dir / "autostart", {}, dir / "knokle"});
    auto entry = dir / "autostart/org.knokle.Knokle.desktop";
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    EXPECT_EQ(item.registerItem(), std::nullopt);
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    auto text = readWholeFile(entry);
    ASSERT_TRUE(text);
    auto written = DesktopEntryFile::parse(*text);
    ASSERT_TRUE(written);
    EXPECT_EQ(execProgram(*written->value("Exec")), (dir / "knokle").string());
    // The same words as the installed entry, so that session settings list it as the menu does.
    auto installed = readWholeFile(std::string(KNOKLE_SOURCE_DIR) + "/share/org.knokle.Knokle.desktop");
    ASSERT_TRUE(installed);
    auto shipped = DesktopEntryFile::parse(*installed);
    ASSERT_TRUE(shipped);
    for (const char* key : {"Name", "Comment", "Icon"})
        EXPECT_EQ(written->value(key), shipped->value(key)) << key;
    EXPECT_EQ(item.unregisterItem(), std::nullopt);
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);

    writeFileAtomically(entry, "[Desktop Entry]\nExec=knokle\nHidden=true\n");
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    writeFileAtomically(entry, "[Desktop Entry]\nExec=knokle\n[Desktop Action x]\nHidden=true\n");
    EXPECT_EQ(item.status(), LoginItemStatus::enabled) << "keys of other groups do not count";

    // A file where the folder should be.
    fs::remove_all(dir / "autostart");
    writeFileAtomically(dir / "autostart", "x");
    auto error = item.registerItem();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find((dir / "autostart").string()), std::string::npos) << *error;

    // The entry linked to something that is not a regular file of the user's: refused, nothing replaced.
    fs::remove(dir / "autostart");
    fs::create_directories(dir / "autostart");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    fs::create_symlink(dir / "fifo", entry);
    EXPECT_EQ(item.registerItem(),
              "Did not write " + entry.string() + ": it is a link to something other than a regular file of yours");
    EXPECT_TRUE(fs::is_fifo(dir / "fifo"));
    EXPECT_TRUE(fs::is_symlink(entry));
}

TEST(XdgAutostartLoginItem, ChangeableOnlyWhenTheFirstInstalledEntryStartsThisProgram) {
    test::TempDir dir;
    const fs::path program = dir / "bin/knokle";
    fs::create_directories(dir / "bin");
    writeFileAtomically(program, "#!/bin/sh\n");
    ::chmod(program.c_str(), 0755);
    auto changeable = [&] {
        return XdgAutostartLoginItem({dir / "autostart", {dir / "home", dir / "sys"}, program}).canChange();
    };
    auto install = [&](const char* dataDir, const std::string& exec) {
        fs::create_directories(dir / dataDir / "applications");
        writeFileAtomically(dir / dataDir / "applications/org.knokle.Knokle.desktop",
                            "[Desktop Entry]\nType=Application\nName=Knokle\nExec=" + exec + "\n");
    };
    EXPECT_FALSE(changeable()) << "no desktop entry";
    install("sys", "/bin/true");
    EXPECT_FALSE(changeable()) << "an entry that starts another program";
    install("home", R"(")" + program.string() + R"(" --flag %U)");
    EXPECT_TRUE(changeable()) << "the first entry found wins";
}
