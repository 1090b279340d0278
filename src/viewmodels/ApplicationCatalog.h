#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace knokle {

// An installed desktop application as the application chooser lists it.
struct InstalledApplication {
    std::string identifier; // desktop entry ID, without ".desktop"
    std::string name;
    std::string icon; // theme icon name or image path; empty when none
    bool operator==(const InstalledApplication&) const = default;
};

// The applications a user can choose from in some applications folders (earlier folders win for the same ID,
// also when there the entry is hidden), sorted by name without regard to case. Entries that are hidden, not
// shown in menus or not applications are left out.
std::vector<InstalledApplication> installedApplications(const std::vector<std::filesystem::path>& folders);

// Whether the application matches what the user typed into the chooser's search field: every word of it
// occurs in the name or the identifier, ignoring case.
bool matchesSearch(const InstalledApplication& application, std::string_view query);

// A name a person can read for an application identifier that names nothing installed here: the usual name of
// the other desktop's applications ("com.apple.MobileSMS" is "Messages"), else the identifier's last part in
// words ("org.gnome.TextEditor" is "Text Editor").
std::string readableApplicationName(std::string_view identifier);

// How the editor shows such an application: its readable name and that it is missing.
std::string missingApplicationLabel(std::string_view identifier);

} // namespace knokle
