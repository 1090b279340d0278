#include "modes/TabClosingScript.h"

#include "common/UnicodeText.h"

namespace knokle {
namespace {

void replaceAll(std::string& text, std::string_view from, std::string_view to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

} // namespace

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

std::string scriptSafeText(std::string_view matchText) {
    std::string text(matchText);
    replaceAll(text, "\\", "\\\\");
    replaceAll(text, "\"", "\\\"");
    return withoutLineBreaks(text);
}

std::string tabClosingScript(std::string_view applicationName, std::string_view scriptSafe) {
    std::string script;
    auto line = [&](int indent, std::string_view text, bool last = false) {
        script.append(static_cast<size_t>(indent), ' ');
        script.append(text);
        if (!last) script.push_back('\n');
    };
    line(0, "tell application \"" + std::string(applicationName) + "\"");
    line(4, "set closedCount to 0");
    line(4, "repeat with w in windows");
    line(8, "set i to 1");
    line(8, "repeat while i \u2264 (count of tabs of w)");
    line(12, "if (URL of tab i of w) contains \"" + std::string(scriptSafe) + "\" then");
    line(16, "close tab i of w");
    line(16, "set closedCount to closedCount + 1");
    line(12, "else");
    line(16, "set i to i + 1");
    line(12, "end if");
    line(8, "end repeat");
    line(4, "end repeat");
    line(4, "return closedCount");
    line(0, "end tell", true);
    return script;
}

} // namespace knokle
