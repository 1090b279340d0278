#include "platform/linux/runtime/JsonFileDefaults.h"
#include "platform/linux/desktop/XdgFolders.h"

#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "common/JsonNesting.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <sys/file.h>
#include <unistd.h>

namespace knokle {
namespace {

using Json = nlohmann::ordered_json;

enum class FileState { absent, readable, unreadable };

struct Loaded {
    FileState state = FileState::absent;
    ReadProblem problem = ReadProblem::none;
    Json object = Json::object();
};

// Settings are a few hundred bytes; anything near this is not a settings file.
constexpr std::size_t kMaxSettingsBytes = 1u << 20;

bool blank(const std::string& text) {
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

Loaded load(const std::filesystem::path& path) {
    Loaded loaded;
    FileRead read = readRegularFile(path, kMaxSettingsBytes);
    if (read.problem == ReadProblem::absent) return loaded;
    loaded.problem = read.problem;
    const auto& bytes = read.bytes;
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

// Held around each read-modify-write, so that two writers (the tray program, a `defaults` command) never
// lose each other's keys. Without a lock file (a read-only folder) the write goes ahead unlocked.
class SettingsLock {
public:
    explicit SettingsLock(const std::filesystem::path& path) {
        std::filesystem::path lockFile = path.parent_path() / ("." + path.filename().string() + ".lock");
        fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
        if (fd >= 0)
            while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
            }
    }
    ~SettingsLock() {
        if (fd >= 0) ::close(fd);
    }
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

private:
    int fd = -1;
};

enum class Unreadable { keepAside, leave };

// Applies one change to the file, under the lock. An unreadable file is moved aside first, so the change never
// destroys whatever the user had in it; if it cannot be moved, nothing is written. A change that returns false
// writes nothing.
void update(const std::filesystem::path& path, const std::function<bool(Json&)>& change,
            Unreadable unreadable = Unreadable::keepAside) {
    if (linkIsRefused(path)) {
        printLine("[info] Settings file " + path.string() +
                  " is a link to something other than a regular file of yours; the setting was not saved");
        return;
    }
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    SettingsLock lock(path);
    Loaded loaded = load(path);
    if (loaded.state == FileState::unreadable) {
        if (unreadable == Unreadable::leave) return;
        auto kept = keepUnreadableFile(path);
        if (!kept) {
            printLine("[info] Settings file " + path.string() +
                      " could not be read or kept aside; the setting was not saved");
            return;
        }
        if (loaded.problem == ReadProblem::notRegularFile || loaded.problem == ReadProblem::tooLarge)
            printLine("[info] Settings file " + path.string() + " " +
                      readProblemText(loaded.problem, kMaxSettingsBytes) + "; kept it as " + kept->string());
        else
            printLine("[info] Settings file " + path.string() + " could not be read; kept it as " + kept->string());
    }
    if (!change(loaded.object)) return;
    // Text that is not UTF-8 is written with U+FFFD rather than failing the whole write.
    std::string text = loaded.object.dump(4, ' ', false, Json::error_handler_t::replace) + "\n";
    if (!writeFileAtomically(path, text))
        printLine("[info] Settings file " + path.string() + " could not be written; the setting was not saved");
}

} // namespace

JsonFileDefaults::JsonFileDefaults(std::optional<std::filesystem::path> file)
    : path(file ? std::move(*file) : defaultFile()) {
    removeLeftoverTemporaries(path);
}

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
    update(path, [&](Json& object) {
        object[key] = toJson(value);
        return true;
    });
}

void JsonFileDefaults::setAll(const std::vector<std::pair<std::string, StoredValue>>& values) {
    update(path, [&](Json& object) {
        for (const auto& [key, value] : values)
            object[key] = toJson(value);
        return true;
    });
}

void JsonFileDefaults::remove(const std::string& key) {
    // Nothing to remove: leave the file (and an unreadable one) as it is.
    if (load(path).state != FileState::readable) return;
    update(
        path, [&](Json& object) { return object.erase(key) > 0; }, Unreadable::leave);
}

std::vector<std::string> JsonFileDefaults::keys() const {
    std::vector<std::string> out;
    Loaded loaded = load(path);
    for (const auto& [key, value] : loaded.object.items())
        out.push_back(key);
    return out;
}

} // namespace knokle
