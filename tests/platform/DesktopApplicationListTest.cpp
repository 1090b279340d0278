#include "platform/linux/desktop/DesktopApplicationList.h"
#include "TempDir.h"
#include "common/AtomicFile.h"

#include <gtest/gtest.h>

using namespace knokle;

namespace {

void entry(const std::filesystem::path& file, const std::string& body) {
    std::filesystem::create_directories(file.parent_path());
    writeFileAtomically(file, "# a comment\n[Desktop Entry]\n" + body + "\n[Desktop Action new]\nName=Other\n");
}

} // namespace

TEST(DesktopApplicationList, ListsChoosableApplicationsByNameInTheUsersLanguage) {
    test::TempDir dir;
    auto user = dir / "user", system = dir / "system";
    entry(user / "org.example.Zed.desktop", "Type=Application\nName=zed editor\nIcon=zed");
    entry(user / "hidden.desktop", "Type=Application\nName=Hidden\nHidden=true");
    entry(system / "hidden.desktop", "Type=Application\nName=Hidden Below");
    entry(system / "org.example.Zed.desktop", "Type=Application\nName=Zed (system)");
    entry(system / "sub/tool.desktop", "Type=Application\nName = Alpha Tool \nIcon=/opt/tool.png");
    entry(system / "nodisplay.desktop", "Type=Application\nName=Settings Helper\nNoDisplay=true");
    entry(system / "link.desktop", "Type=Link\nName=A Link\nURL=https://example.org");
    entry(system / "nameless.desktop", "Type=Application\nIcon=x");
    entry(system / "notes.txt", "Type=Application\nName=Not an entry");
    entry(system / "Beta.desktop", "Type=Application\nName=beta\nName[de]=Gamma\\sde\nName[de_AT]=Aleph");

    auto apps = DesktopApplicationList({{user, system, dir / "missing"}}, "C").installedApplications();
    EXPECT_EQ(apps, (std::vector<InstalledApplication>{{"sub-tool", "Alpha Tool", "/opt/tool.png"},
                                                       {"Beta", "beta", ""},
                                                       {"org.example.Zed", "zed editor", "zed"}}));
    auto german = DesktopApplicationList({{system}}, "de_DE.UTF-8").installedApplications();
    ASSERT_EQ(german.size(), 4u); // the user folder's hidden entry is not among these folders
    EXPECT_EQ(german[1].name, "Gamma de") << "language without country, escapes undone";
    auto austrian = DesktopApplicationList({{system}}, "de_AT@euro").installedApplications();
    EXPECT_EQ(austrian[0].name, "Aleph");
}
