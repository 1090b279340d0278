#pragma once

#include <string>
#include <vector>

namespace knokle {

// An installed desktop application as the application chooser lists it.
struct InstalledApplication {
    std::string identifier; // desktop entry ID, without ".desktop"
    std::string name;
    std::string icon; // theme icon name or image path; empty when none
    bool operator==(const InstalledApplication&) const = default;
};

// The applications a user can choose from, sorted by name without regard to case.
class ApplicationList {
public:
    virtual ~ApplicationList() = default;
    virtual std::vector<InstalledApplication> installedApplications() = 0;
};

} // namespace knokle
