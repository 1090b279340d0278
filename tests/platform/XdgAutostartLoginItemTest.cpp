#include "platform/linux/XdgAutostartLoginItem.h"
#include "ScopedEnv.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace knokle;

namespace {

// An installed program and the two folders searched for its desktop entry.
struct Fixture {
    test::TempDir dir;
    XdgAutostartLoginItem::Locations where;
    explicit Fixture(const std::string& executable = "bin/knokle")
        : where{dir / "config/autostart", {dir / "data-home", dir / "data-sys"}, dir / executable} {
        std::filesystem::create_directories(where.executable.parent_path());
        writeFileAtomically(where.executable, "#!/bin/sh\n");
        ::chmod(where.executable.c_str(), 0755);
    }
    void write(const std::filesystem::path& file, const std::string& text) {
        std::filesystem::create_directories(file.parent_path());
        writeFileAtomically(file, text);
    }
    void installEntry(int dataDir, const std::string& exec) {
        write(where.dataDirs[dataDir] / "applications/knokle.desktop", "[Desktop Entry]\nExec=" + exec + "\n");
    }
};

} // namespace

TEST(XdgAutostartLoginItem, RegisterWritesAnEntryThatStartsThisProgram) {
    Fixture f("bin $HOME \"x\"/knokle"); // a folder name that needs quoting in Exec
    XdgAutostartLoginItem item(f.where);
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    EXPECT_EQ(item.registerItem(), std::nullopt);
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    auto exec = desktopEntryValue(readWholeFile(item.entryFile()).value_or(""), "Exec");
    EXPECT_EQ(desktopExecProgram(exec.value_or("")), f.where.executable.string());
    EXPECT_EQ(item.unregisterItem(), std::nullopt);
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);

    // A hidden entry is switched off; a key of another group does not count.
    f.write(item.entryFile(), "# c\n[Desktop Entry]\nExec=knokle\n[Desktop Action x]\nHidden=true\n");
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    f.write(item.entryFile(), "[Desktop Entry]\r\nExec=knokle\r\nHidden = true\r\n");
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);

    std::filesystem::remove_all(f.where.autostartFolder);
    f.write(f.where.autostartFolder, "a file where the folder should be");
    auto error = item.registerItem();
    EXPECT_NE(error.value_or("").find(f.where.autostartFolder.string()), std::string::npos) << error.value_or("");
}

TEST(XdgAutostartLoginItem, ChangeableOnlyWhenInstalledWithItsDesktopEntry) {
    struct Case {
        const char* what;
        std::function<void(Fixture&)> setUp;
        bool changeable;
    } cases[] = {
        {"no desktop entry", [](Fixture&) {}, false},
        {"entry starts this program", [](Fixture& f) { f.installEntry(1, "  " + f.where.executable.string()); }, true},
        {"entry quoted with arguments",
         [](Fixture& f) { f.installEntry(0, "\"" + f.where.executable.string() + "\" --flag %U"); }, true},
        {"entry starts another program", [](Fixture& f) { f.installEntry(1, "/bin/true"); }, false},
        {"first entry found wins",
         [](Fixture& f) {
             f.installEntry(0, "/bin/true");
             f.installEntry(1, f.where.executable.string());
         },
         false},
    };
    for (auto& c : cases) {
        Fixture f;
        c.setUp(f);
        EXPECT_EQ(XdgAutostartLoginItem(f.where).canChange(), c.changeable) << c.what;
    }
    Fixture f;
    f.installEntry(0, "knokle %U"); // a bare name, found on PATH as an installed program's is
    test::ScopedEnv path("PATH", (f.dir / "bin").c_str());
    EXPECT_TRUE(XdgAutostartLoginItem(f.where).canChange());
}
