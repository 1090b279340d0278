#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "modes/ModeCoding.h"
#include "modes/ModeManager.h"


namespace knokle {
namespace {

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

ModeManager::ModeManager(std::shared_ptr<const ModeServices> services, std::filesystem::path storeURL)
    : services(std::move(services)), store(std::move(storeURL)) {
    std::error_code ignored; // a folder that cannot be made shows up as a failed read and a failed save
    std::filesystem::create_directories(store.parent_path(), ignored);
    load();
}

const std::filesystem::path& ModeManager::storeURL() const {
    return store;
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
