#pragma once

#include "platform/ApplicationList.h"

#include <string_view>

namespace knokle {

// Whether the application matches what the user typed into the chooser's search field: every word of it
// occurs in the name or the identifier, ignoring case.
bool matchesSearch(const InstalledApplication& application, std::string_view query);

} // namespace knokle
