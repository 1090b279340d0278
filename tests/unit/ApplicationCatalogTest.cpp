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
