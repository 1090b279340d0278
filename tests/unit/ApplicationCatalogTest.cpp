#include "viewmodels/ApplicationCatalog.h"
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

TEST(ApplicationCatalog, ListsChoosableApplicationsByName) {
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
    entry(system / "Beta.desktop", "Type=Application\nName=beta");

    auto apps = installedApplications({user, system, dir / "missing"});
    EXPECT_EQ(apps, (std::vector<InstalledApplication>{{"sub-tool", "Alpha Tool", "/opt/tool.png"},
                                                       {"Beta", "beta", ""},
                                                       {"org.example.Zed", "zed editor", "zed"}}));
}

TEST(ApplicationCatalog, SearchMatchesEveryWordInNameOrIdentifier) {
    InstalledApplication editor{"org.gnome.TextEditor", "Text Editor", ""};
    const std::pair<const char*, bool> cases[] = {
        {"", true},      {"  ", true},         {"text", true},          {"EDIT", true},
        {"gnome", true}, {"text gnome", true}, {"text firefox", false}, {"notes", false}};
    for (const auto& [query, matches] : cases)
        EXPECT_EQ(matchesSearch(editor, query), matches) << "'" << query << "'";
}

// An application that is not installed reads as a name, never as a raw identifier.
TEST(ApplicationCatalog, ReadableNamesForApplicationsThatAreNotInstalled) {
    const std::pair<const char*, const char*> cases[] = {
        {"com.apple.MobileSMS", "Messages"},
        {"com.apple.mail", "Mail"},
        {"org.gnome.TextEditor", "Text Editor"},
        {"thunderbird.desktop", "Thunderbird"},
        {"signal-desktop", "Signal desktop"},
        {"gone.app", "Gone"},
        {"x", "X"},
    };
    for (const auto& [identifier, name] : cases)
        EXPECT_EQ(readableApplicationName(identifier), name) << identifier;
    EXPECT_EQ(missingApplicationLabel("com.apple.mail"), "Mail (not installed)");
}
