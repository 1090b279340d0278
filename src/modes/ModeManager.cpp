#include "modes/ModeManager.h"

#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "modes/ModeRunner.h"

#include <algorithm>
#include <set>

namespace knokle {

std::optional<SlapMode> ModeManager::mode(int64_t slapCount) const {
    for (const auto& candidate : modes) {
        if (candidate.slapCount == slapCount) return candidate;
    }
    return std::nullopt;
}

void ModeManager::dedupe() {
    std::set<std::int64_t> seen;
    std::vector<SlapMode> survivors;
    survivors.reserve(modes.size());
    for (auto& candidate : modes) {
        if (seen.insert(candidate.slapCount).second) survivors.push_back(std::move(candidate));
    }
    bool dropped = survivors.size() != modes.size();
    modes = std::move(survivors);
    if (!dropped) return;
    // The dropped modes exist only in the user's file: keep it as it was before writing the survivors.
    auto kept = keepFileAside(store, "duplicates");
    if (!kept) {
        printLine("[ModeManager] " + store.string() +
                  " has more than one mode for a tap count and could not be kept aside; it is left as it is");
        return;
    }
    printLine("[ModeManager] " + store.string() +
              " had more than one mode for a tap count; kept the first of each "
              "and the file as it was in " +
              kept->string());
    save();
}

void ModeManager::addOrUpdate(const SlapMode& mode) {
    auto sameId = std::find_if(modes.begin(), modes.end(), [&](const SlapMode& m) { return m.id == mode.id; });
    if (sameId != modes.end()) {
        *sameId = mode;
    } else if (auto sameCount = std::find_if(modes.begin(), modes.end(),
                                             [&](const SlapMode& m) { return m.slapCount == mode.slapCount; });
               sameCount != modes.end()) {
        *sameCount = mode;
    } else {
        modes.push_back(mode);
    }
    save();
}

void ModeManager::execute(const SlapMode& mode) const {
    if (!services) return;
    runMode(services, mode);
}

} // namespace knokle
