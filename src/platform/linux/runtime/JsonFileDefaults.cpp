#include "platform/linux/runtime/JsonFileDefaults.h"
#include "platform/linux/desktop/XdgFolders.h"

#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "common/JsonNesting.h"

#include <cstdlib>
#include <limits>
#include <nlohmann/json.hpp>

namespace knokle {
namespace {

using Json = nlohmann::ordered_json;

enum class FileState { absent, readable, unreadable };

struct Loaded {
    FileState state = FileState::absent;
    Json object = Json::object();
};

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

Loaded load(const std::filesystem::path& path) {
    Loaded loaded;
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return loaded;
    auto bytes = readWholeFile(path);
    if (bytes && blank(*bytes)) {
        // An empty file holds nothing that could be lost.
        loaded.state = FileState::readable;
        return loaded;
    }
    if (bytes && jsonNestingWithin(*bytes)) {
        Json parsed = Json::parse(*bytes, nullptr, false);
        if (!parsed.is_discarded() && parsed.is_object()) {
            loaded.state = FileState::readable;
            loaded.object = std::move(parsed);
            return loaded;
        }
    }
    loaded.state = FileState::unreadable;
    return loaded;
}

StoredValue fromJson(const Json& value) {
    if (value.is_boolean()) return value.get<bool>();
    if (value.is_number_unsigned()) {
        auto n = value.get<std::uint64_t>();
        if (n <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return static_cast<std::int64_t>(n);
        return static_cast<double>(n);
    }
    if (value.is_number_integer()) return value.get<std::int64_t>();
    if (value.is_number_float()) return value.get<double>();
    if (value.is_string()) return value.get<std::string>();
    return OtherValue{};
}

Json toJson(const StoredValue& value) {
    return std::visit(
        [](const auto& v) -> Json {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, OtherValue>)
                return nullptr;
            else
                return v;
        },
        value);
}

// Applies one change to the file. An unreadable file is moved aside first, so the change never destroys
// whatever the user had in it; if it cannot be moved, nothing is written.
void update(const std::filesystem::path& path, const std::function<void(Json&)>& change) {
    Loaded loaded = load(path);
    if (loaded.state == FileState::unreadable) {
        auto kept = keepUnreadableFile(path);
        if (!kept) {
            printLine("[info] Settings file " + path.string() +
                      " could not be read or kept aside; the setting was not saved");
            return;
        }
        printLine("[info] Settings file " + path.string() + " could not be read; kept it as " + kept->string());
    }
    change(loaded.object);
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    // Text that is not UTF-8 is written with U+FFFD rather than failing the whole write.
    std::string text = loaded.object.dump(4, ' ', false, Json::error_handler_t::replace) + "\n";
    if (!writeFileAtomically(path, text))
        printLine("[info] Settings file " + path.string() + " could not be written; the setting was not saved");
}

} // namespace

JsonFileDefaults::JsonFileDefaults(std::optional<std::filesystem::path> file)
    : path(file ? std::move(*file) : defaultFile()) {}

std::filesystem::path JsonFileDefaults::defaultFile() {
    return XdgFolders().config() / "settings.json";
}

std::optional<StoredValue> JsonFileDefaults::object(const std::string& key) const {
    Loaded loaded = load(path);
    auto it = loaded.object.find(key);
    if (it == loaded.object.end()) return std::nullopt;
    return fromJson(*it);
}

void JsonFileDefaults::set(const std::string& key, const StoredValue& value) {
    update(path, [&](Json& object) { object[key] = toJson(value); });
}

void JsonFileDefaults::setAll(const std::vector<std::pair<std::string, StoredValue>>& values) {
    update(path, [&](Json& object) {
        for (const auto& [key, value] : values)
            object[key] = toJson(value);
    });
}

void JsonFileDefaults::remove(const std::string& key) {
    Loaded loaded = load(path);
    // Nothing to remove: leave the file (and an unreadable one) as it is.
    if (loaded.state != FileState::readable || !loaded.object.contains(key)) return;
    update(path, [&](Json& object) { object.erase(key); });
}

std::vector<std::string> JsonFileDefaults::keys() const {
    std::vector<std::string> out;
    Loaded loaded = load(path);
    for (const auto& [key, value] : loaded.object.items())
        out.push_back(key);
    return out;
}

} // namespace knokle
