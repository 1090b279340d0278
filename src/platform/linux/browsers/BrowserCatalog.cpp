#include "platform/linux/browsers/BrowserCatalog.h"

namespace knokle {

namespace fs = std::filesystem;

const std::vector<BrowserCatalogRow>& browserCatalog() {
    static const std::vector<BrowserCatalogRow> rows = {
        {"Google Chrome",
         false,
         {"com.google.Chrome", "google-chrome", "google-chrome-beta", "google-chrome-unstable"},
         {"google-chrome", "google-chrome-stable"},
         {{"/opt/google/chrome/google-chrome", "/opt/google/chrome/chrome"},
          {"/opt/google/chrome-beta/google-chrome-beta", "/opt/google/chrome-beta/chrome"},
          {"/opt/google/chrome-unstable/google-chrome-unstable", "/opt/google/chrome-unstable/chrome"}},
         "google-chrome",
         {"google-chrome", "google-chrome-beta", "google-chrome-unstable"},
         "com.google.Chrome",
         "config/google-chrome",
         {}, // no Snap
         {}},
        {"Microsoft Edge",
         false,
         {"com.microsoft.edgemac", "microsoft-edge", "com.microsoft.Edge"},
         {"microsoft-edge", "microsoft-edge-stable"},
         {{"/opt/microsoft/msedge/microsoft-edge", "/opt/microsoft/msedge/msedge"}},
         "microsoft-edge",
         {"microsoft-edge", "microsoft-edge-beta", "microsoft-edge-dev"},
         "com.microsoft.Edge",
         "config/microsoft-edge",
         {}, // no Snap
         {}},
        {"Brave Browser",
         false,
         {"com.brave.Browser", "brave-browser"},
         {"brave-browser", "brave"},
         {{"/opt/brave.com/brave/brave-browser", "/opt/brave.com/brave/brave"}},
         "BraveSoftware/Brave-Browser",
         {"BraveSoftware/Brave-Browser"},
         "com.brave.Browser",
         "config/BraveSoftware/Brave-Browser",
         "brave",
         "common/BraveSoftware/Brave-Browser"},
        {"Vivaldi",
         false,
         {"com.vivaldi.Vivaldi", "vivaldi-stable"},
         {"vivaldi", "vivaldi-stable"},
         {{"/opt/vivaldi/vivaldi", "/opt/vivaldi/vivaldi-bin"}},
         "vivaldi",
         {"vivaldi"},
         "com.vivaldi.Vivaldi",
         "config/vivaldi",
         {}, // no Snap
         {}},
        {"Chromium",
         false,
         {"chromium", "chromium-browser", "org.chromium.Chromium", "chromium_chromium"},
         {"chromium", "chromium-browser"},
         {{"/usr/bin/chromium", "/usr/lib/chromium/chromium"},
          {"/usr/bin/chromium-browser", "/usr/lib/chromium-browser/chromium-browser"}},
         "chromium",
         {"chromium"},
         "org.chromium.Chromium",
         "config/chromium",
         "chromium",
         "common/chromium"},
        {"Firefox",
         true,
         {"firefox", "firefox-esr", "org.mozilla.firefox", "firefox_firefox"},
         {"firefox", "firefox-esr"},
         {},
         ".mozilla",
         {},
         "org.mozilla.firefox",
         ".mozilla",
         "firefox",
         "common/.mozilla"},
    };
    return rows;
}

const BrowserCatalogRow* browserNamed(std::string_view name) {
    for (const auto& row : browserCatalog())
        if (row.name == name) return &row;
    return nullptr;
}

const BrowserCatalogRow* browserOfExecutableName(std::string_view fileName) {
    for (const auto& row : browserCatalog()) {
        for (const auto& program : row.programs)
            if (program == fileName) return &row;
        for (const auto& wrapper : row.wrappers)
            if (fs::path(wrapper.script).filename() == fileName || fs::path(wrapper.target).filename() == fileName)
                return &row;
    }
    return nullptr;
}

std::vector<fs::path> wrapperTargets(const fs::path& resolvedScript) {
    std::vector<fs::path> targets;
    std::string path = resolvedScript.lexically_normal().string();
    for (const auto& row : browserCatalog())
        for (const auto& wrapper : row.wrappers)
            if (path.ends_with(wrapper.script)) {
                std::string root = path.substr(0, path.size() - wrapper.script.size());
                targets.emplace_back(root + wrapper.target);
            }
    return targets;
}

} // namespace knokle
