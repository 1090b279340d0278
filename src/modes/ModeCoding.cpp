#include "modes/ModeCoding.h"
#include "common/JsonNesting.h"

#include <nlohmann/json.hpp>

namespace knokle {
namespace {

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

// Missing or null: empty. Anything but an array of strings: undecodable.
bool decodeList(const Json& object, const char* key, std::vector<std::string>& out) {
    auto it = object.find(key);
    if (it == object.end() || it->is_null()) return true;
    if (!it->is_array()) return false;
    for (const auto& element : *it) {
        if (!element.is_string()) return false;
        out.push_back(element.get<std::string>());
    }
    return true;
}

// Only a JSON integer that fits in 64 signed bits: 2.0 is written as a fraction, so it is not one.
std::optional<std::int64_t> decodeInteger(const Json& value) {
    if (value.is_number_unsigned()) {
        auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
        return static_cast<std::int64_t>(u);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    return std::nullopt;
}

std::optional<SlapMode> decodeObject(const Json& object) {
    if (!object.is_object()) return std::nullopt;
    SlapMode mode;

    if (auto it = object.find("id"); it != object.end() && !it->is_null()) {
        if (!it->is_string()) return std::nullopt;
        auto id = Uuid::parse(it->get_ref<const std::string&>());
        if (!id) return std::nullopt;
        mode.id = *id;
    }

    auto name = object.find("name");
    if (name == object.end() || !name->is_string()) return std::nullopt;
    mode.name = name->get<std::string>();

    auto count = object.find("slapCount");
    if (count == object.end()) return std::nullopt;
    auto slapCount = decodeInteger(*count);
    if (!slapCount) return std::nullopt;
    mode.slapCount = *slapCount;

    if (!decodeList(object, "openApps", mode.openApps) || !decodeList(object, "openURLs", mode.openURLs) ||
        !decodeList(object, "quitApps", mode.quitApps) || !decodeList(object, "closeURLs", mode.closeURLs)) {
        return std::nullopt;
    }

    if (auto it = object.find("focusModeIdentifier"); it != object.end() && !it->is_null()) {
        if (!it->is_string()) return std::nullopt;
        mode.focusModeIdentifier = it->get<std::string>();
    }
    return mode;
}

std::optional<Json> parse(std::string_view json) {
    if (!jsonNestingWithin(json)) return std::nullopt;
    Json parsed = Json::parse(json.begin(), json.end(), nullptr, /*allow_exceptions=*/false);
    if (parsed.is_discarded()) return std::nullopt;
    return parsed;
}

OrderedJson encodeObject(const SlapMode& mode) {
    OrderedJson object = OrderedJson::object();
    object["id"] = mode.id.upperString();
    object["name"] = mode.name;
    object["slapCount"] = mode.slapCount;
    object["openApps"] = mode.openApps;
    object["openURLs"] = mode.openURLs;
    object["quitApps"] = mode.quitApps;
    object["closeURLs"] = mode.closeURLs;
    if (mode.focusModeIdentifier) object["focusModeIdentifier"] = *mode.focusModeIdentifier;
    return object;
}

} // namespace

std::optional<std::vector<SlapMode>> decodeModes(std::string_view json) {
    auto parsed = parse(json);
    if (!parsed || !parsed->is_array()) return std::nullopt;
    std::vector<SlapMode> modes;
    modes.reserve(parsed->size());
    for (const auto& element : *parsed) {
        auto mode = decodeObject(element);
        if (!mode) return std::nullopt;
        modes.push_back(std::move(*mode));
    }
    return modes;
}

std::optional<SlapMode> decodeModeDocument(std::string_view json) {
    auto parsed = parse(json);
    if (!parsed) return std::nullopt;
    return decodeObject(*parsed);
}

std::string encodeModes(const std::vector<SlapMode>& modes) {
    OrderedJson array = OrderedJson::array();
    for (const auto& mode : modes)
        array.push_back(encodeObject(mode));
    // Text that is not valid UTF-8 (typed or pasted oddly) is written with replacement characters rather
    // than losing the whole save.
    return array.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

} // namespace knokle
