#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "modes/ModeCoding.h"
#include "modes/ModeManager.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace knokle {
namespace {

std::optional<std::string> environment(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) return std::nullopt;
    return std::string(value);
}

std::filesystem::path homeFolder() {
    if (auto home = environment("HOME")) return *home;
    if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
}

std::filesystem::path defaultStoreFolder() {
    if (auto folder = environment("KNOKLE_DATA_DIR")) return *folder;
    // A relative XDG_DATA_HOME is invalid and ignored.
    if (auto data = environment("XDG_DATA_HOME"); data && std::filesystem::path(*data).is_absolute()) {
        return std::filesystem::path(*data) / "knokle";
    }
    return homeFolder() / ".local" / "share" / "knokle";
}

SlapMode makeMode(std::string name, std::int64_t slapCount, std::vector<std::string> openApps,
                  std::vector<std::string> quitApps) {
    SlapMode mode;
    mode.name = std::move(name);
    mode.slapCount = slapCount;
    mode.openApps = std::move(openApps);
    mode.quitApps = std::move(quitApps);
    return mode;
}

} // namespace

ModeManager::ModeManager(std::shared_ptr<const ModeServices> services, std::optional<std::filesystem::path> storeURL)
    : services(std::move(services)), store(storeURL ? *storeURL : defaultStoreURL()) {
    load();
}

const std::filesystem::path& ModeManager::storeURL() const {
    return store;
}

std::filesystem::path ModeManager::defaultStoreURL() {
    std::filesystem::path folder = defaultStoreFolder();
    std::error_code ignored; // a folder that cannot be made shows up as a failed read and a failed save
    std::filesystem::create_directories(folder, ignored);
    return folder / "modes.json";
}

std::vector<SlapMode> ModeManager::defaultModes() {
    return {
        makeMode("", 1, {}, {}),
        makeMode("Browse", 2, {"com.apple.Safari"}, {}),
        makeMode("Focus", 3, {"com.apple.Notes"}, {"com.apple.MobileSMS", "com.apple.mail"}),
    };
}

void ModeManager::load() {
    modes.clear();
    std::error_code error;
    auto status = std::filesystem::symlink_status(store, error);
    bool missing = status.type() == std::filesystem::file_type::not_found;
    removeLeftoverTemporaries(store);
    if (linkIsRefused(store)) {
        // Writing would replace what the link points to; the modes live in memory only.
        printLine("[ModeManager] " + store.string() +
                  " is a link to something other than a regular file of yours; started from the default modes "
                  "and will not save over it");
        modes = defaultModes();
        refuseSaving = true;
        return;
    }

    if (!missing) {
        if (auto bytes = readWholeFile(store)) {
            if (auto decoded = decodeModes(*bytes)) {
                modes = std::move(*decoded);
                dedupe();
                return;
            }
        }
    }

    modes = defaultModes();
    if (missing) {
        save();
        return;
    }
    // The file is there but is not a store we can read: it may be the user's only copy of their modes.
    keepBeforeSaving = true;
    save();
    if (keepBeforeSaving) {
        printLine("[ModeManager] Could not read " + store.string() +
                  "; started from the default modes and will not save over it");
    }
}

void ModeManager::save() {
    if (refuseSaving) return;
    if (keepBeforeSaving) {
        std::error_code error;
        if (std::filesystem::symlink_status(store, error).type() != std::filesystem::file_type::not_found) {
            auto kept = keepUnreadableFile(store);
            if (!kept) return;
            printLine("[ModeManager] Could not read " + store.string() + "; kept it as " + kept->string() +
                      " and started from the default modes");
        }
        keepBeforeSaving = false;
    }
    writeFileAtomically(store, encodeModes(modes)); // a failed write leaves the old file; memory stays the truth
}

} // namespace knokle
