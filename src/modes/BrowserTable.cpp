#include "modes/BrowserTable.h"

namespace knokle {

const std::vector<BrowserRow>& browserTable() {
    static const std::vector<BrowserRow> table = {
        {"Safari", {"com.apple.Safari"}},
        {"Google Chrome", {"com.google.Chrome", "google-chrome", "google-chrome-beta", "google-chrome-unstable"}},
        {"Microsoft Edge", {"com.microsoft.edgemac", "microsoft-edge", "com.microsoft.Edge"}},
        {"Brave Browser", {"com.brave.Browser", "brave-browser"}},
        {"Vivaldi", {"com.vivaldi.Vivaldi", "vivaldi-stable"}},
        {"Arc", {"company.thebrowser.Browser"}},
        {"Chromium", {"chromium", "chromium-browser", "org.chromium.Chromium", "chromium_chromium"}},
        {"Firefox", {"firefox", "firefox-esr", "org.mozilla.firefox", "firefox_firefox"}},
    };
    return table;
}

} // namespace knokle
