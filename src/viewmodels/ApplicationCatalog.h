#pragma once

#include "platform/ApplicationList.h"

#include <string_view>

namespace knokle {

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
