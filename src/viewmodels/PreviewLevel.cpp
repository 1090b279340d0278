#include "viewmodels/PreviewLevel.h"

#include <cstdlib>

namespace knokle {

std::optional<double> previewLevel(const std::vector<std::string>& args) {
    static const std::string prefix = "--level=";
    for (const auto& arg : args) {
        if (arg.rfind(prefix, 0) != 0) continue;
        std::string rest = arg.substr(prefix.size());
        char* end = nullptr;
        double value = std::strtod(rest.c_str(), &end);
        if (rest.empty() || end != rest.c_str() + rest.size()) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

} // namespace knokle
