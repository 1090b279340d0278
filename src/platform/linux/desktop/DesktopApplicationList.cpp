#include "platform/linux/desktop/DesktopApplicationList.h"

#include "common/AtomicFile.h"
#include "common/UnicodeText.h"
#include "platform/linux/desktop/DesktopEntries.h"
#include "platform/linux/desktop/DesktopEntryFile.h"
#include "platform/linux/desktop/XdgFolders.h"

#include <algorithm>
#include <map>

namespace knokle {
namespace {

// The application a file describes; nothing when it is not one to list.
std::optional<InstalledApplication> listed(const std::filesystem::path& file, const std::string& id,
                                           const std::string& locale) {
    auto text = readWholeFile(file);
    auto entry = text ? DesktopEntryFile::parse(*text) : std::nullopt;
    if (!entry || entry->value("Type") != "Application" || entry->boolean("Hidden") || entry->boolean("NoDisplay"))
        return std::nullopt;
    InstalledApplication application{id, entry->localised("Name", locale).value_or(""),
                                     entry->localised("Icon", locale).value_or("")};
    if (application.name.empty()) return std::nullopt;
    return application;
}

} // namespace

DesktopApplicationList::DesktopApplicationList(std::optional<std::vector<std::filesystem::path>> folders,
                                               std::optional<std::string> locale)
    : folders(folders ? std::move(*folders) : XdgFolders().applicationFolders()),
      locale(locale ? std::move(*locale) : messagesLocale()) {}

std::vector<InstalledApplication> DesktopApplicationList::installedApplications() {
    std::map<std::string, std::optional<InstalledApplication>> byId;
    for (const auto& folder : folders) {
        std::error_code error;
        std::filesystem::recursive_directory_iterator it(folder, error), end;
        for (; !error && it != end; it.increment(error)) {
            if (!it->is_regular_file(error)) continue;
            auto id = desktopEntryId(folder, it->path());
            if (!id || byId.count(*id)) continue;
            byId.emplace(*id, listed(it->path(), *id, locale));
        }
    }
    std::vector<InstalledApplication> out;
    for (auto& [id, application] : byId)
        if (application) out.push_back(std::move(*application));
    std::stable_sort(out.begin(), out.end(),
                     [](const auto& a, const auto& b) { return lowerCasedAscii(a.name) < lowerCasedAscii(b.name); });
    return out;
}

} // namespace knokle
