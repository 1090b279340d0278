#include "viewmodels/ApplicationCatalog.h"

#include <gtest/gtest.h>

using namespace knokle;

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
