#include "viewmodels/ApplicationCatalog.h"

#include <sstream>

namespace knokle {

namespace {

std::string lowerAscii(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

} // namespace

bool matchesSearch(const InstalledApplication& application, std::string_view query) {
    std::string haystack = lowerAscii(application.name) + "\n" + lowerAscii(application.identifier);
    std::istringstream words{lowerAscii(query)};
    std::string word;
    while (words >> word)
        if (haystack.find(word) == std::string::npos) return false;
    return true;
}

} // namespace knokle
