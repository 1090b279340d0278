#include "platform/linux/wayland/CompositorWindow.h"

#include <algorithm>
#include <cctype>

namespace knokle {
namespace {

std::string lowered(std::string text) {
    std::ranges::transform(text, text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

} // namespace

std::optional<WindowId> pickCompositorWindow(const std::vector<CompositorWindow>& windows, const WindowSearch& search) {
    std::optional<WindowId> named;
    for (const auto& window : windows) {
        if (std::ranges::count(search.existing, window.id)) continue;
        bool matches = std::ranges::any_of(
            search.names, [&](const std::string& name) { return lowered(name) == lowered(window.appId); });
        if (matches && (!named || window.id > *named)) named = window.id;
    }
    if (named) return named;
    if (search.processIdentifier < 1) return std::nullopt;
    std::optional<WindowId> first;
    for (const auto& window : windows) {
        if (window.pid != search.processIdentifier) continue;
        if (window.focused) return window.id;
        if (!first) first = window.id;
    }
    return first;
}

WindowId WindowIdTable::idFor(const std::string& name) {
    std::lock_guard lock(mutex);
    auto [it, added] = ids.try_emplace(name, ids.size() + 1);
    if (added) names.emplace(it->second, name);
    return it->second;
}

std::optional<std::string> WindowIdTable::nameOf(WindowId id) const {
    std::lock_guard lock(mutex);
    auto it = names.find(id);
    if (it == names.end()) return std::nullopt;
    return it->second;
}

} // namespace knokle
