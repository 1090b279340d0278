#include "platform/linux/XdgAutostartLoginItem.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace knokle;

namespace {

struct Fixture {
    test::TempDir dir;
    XdgAutostartLoginItem::Locations where;
    Fixture() {
        where.autostartFolder = dir / "config/autostart";
        where.dataDirs = {dir / "data-home", dir / "data-sys"};
        where.executable = dir / "bin/knokle";
        std::filesystem::create_directories(dir / "bin");
        writeFileAtomically(where.executable, "#!/bin/sh\n");
        ::chmod(where.executable.c_str(), 0755);
    }
    void installEntry(const std::filesystem::path& dataDir, const std::string& exec) {
        std::filesystem::create_directories(dataDir / "applications");
        writeFileAtomically(dataDir / "applications/org.knokle.Knokle.desktop",
                            "[Desktop Entry]\nType=Application\nName=Knokle\nExec=" + exec + "\n");
    }
};

} // namespace

TEST(XdgAutostartLoginItem, RegisterWritesTheEntryAndUnregisterRemovesIt) {
    Fixture f;
    XdgAutostartLoginItem item(f.where);
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
    EXPECT_EQ(item.registerItem(), std::nullopt);
    EXPECT_EQ(item.status(), LoginItemStatus::enabled);
    auto text = readWholeFile(f.where.autostartFolder / "org.knokle.Knokle.desktop");
    ASSERT_TRUE(text);
    EXPECT_EQ(desktopExecProgram(*desktopEntryValue(*text, "Exec")), f.where.executable.string());
    EXPECT_EQ(item.unregisterItem(), std::nullopt);
    EXPECT_EQ(item.status(), LoginItemStatus::notRegistered);
}

TEST(XdgAutostartLoginItem, AHiddenEntryIsNotEnabled) {
    Fixture f;
    std::filesystem::create_directories(f.where.autostartFolder);
    writeFileAtomically(f.where.autostartFolder / "org.knokle.Knokle.desktop",
                        "[Desktop Entry]\nExec=knokle\nHidden=true\n");
    EXPECT_EQ(XdgAutostartLoginItem(f.where).status(), LoginItemStatus::notRegistered);
}

TEST(XdgAutostartLoginItem, ARegistrationThatCannotBeWrittenSaysWhy) {
    Fixture f;
    std::filesystem::create_directories(f.where.autostartFolder.parent_path());
    writeFileAtomically(f.where.autostartFolder, "a file where the folder should be");
    auto error = XdgAutostartLoginItem(f.where).registerItem();
    ASSERT_TRUE(error);
    EXPECT_NE(error->find(f.where.autostartFolder.string()), std::string::npos) << *error;
}

TEST(XdgAutostartLoginItem, ChangeableOnlyWhenInstalledWithItsDesktopEntry) {
    struct Case {
        const char* what;
        std::function<void(Fixture&)> setUp;
        bool changeable;
    } cases[] = {
        {"no desktop entry", [](Fixture&) {}, false},
        {"entry starts this program",
         [](Fixture& f) { f.installEntry(f.where.dataDirs[1], f.where.executable.string()); }, true},
        {"entry quoted with arguments",
         [](Fixture& f) { f.installEntry(f.where.dataDirs[0], "\"" + f.where.executable.string() + "\" --flag %U"); },
         true},
        {"entry starts another program", [](Fixture& f) { f.installEntry(f.where.dataDirs[1], "/bin/true"); }, false},
        {"first entry found wins",
         [](Fixture& f) {
             f.installEntry(f.where.dataDirs[0], "/bin/true");
             f.installEntry(f.where.dataDirs[1], f.where.executable.string());
         },
         false},
    };
    for (auto& c : cases) {
        Fixture f;
        c.setUp(f);
        EXPECT_EQ(XdgAutostartLoginItem(f.where).canChange(), c.changeable) << c.what;
    }
}

TEST(XdgAutostartLoginItem, DesktopEntryParsing) {
    std::string text = "# c\n[Desktop Entry]\nName = Knokle\nExec=a b\n[Desktop Action x]\nHidden=true\n";
    EXPECT_EQ(desktopEntryValue(text, "Name"), "Knokle");
    EXPECT_EQ(desktopEntryValue(text, "Hidden"), std::nullopt) << "keys of other groups do not count";
    EXPECT_EQ(desktopExecProgram("  /usr/bin/knokle %U"), "/usr/bin/knokle");
    EXPECT_EQ(desktopExecProgram(R"("/opt/my \"app\"/knokle" --x)"), R"(/opt/my "app"/knokle)");
}
