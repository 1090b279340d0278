#include "controller/ExecMode.h"

#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "common/TextFormat.h"
#include "modes/ModeCoding.h"

namespace knokle {

std::optional<int> startExecMode(const std::string& path, std::shared_ptr<const ModeServices> services,
                                 std::filesystem::path storeURL, MainLoop& loop, WorkQueue& background,
                                 std::function<void(int)> exit) {
    auto bytes = readWholeFile(path);
    auto mode = bytes ? decodeModeDocument(*bytes) : std::nullopt;
    if (!mode) {
        printLine("[exec-mode] could not read/parse " + path);
        return 1;
    }
    // Loads the store (or seeds it), as the tray application would; the mode itself is not added.
    auto manager = std::make_shared<ModeManager>(std::move(services), std::move(storeURL));
    printLine("[exec-mode] running '" + mode->name + "': open=" + quotedList(mode->openApps) +
              " quit=" + quotedList(mode->quitApps) + " openURLs=" + quotedList(mode->openURLs) +
              " closeURLs=" + quotedList(mode->closeURLs));
    background.post([manager, mode = *mode] {
        manager->execute(mode);
        printLine("[exec-mode] execute() returned");
    });
    loop.after(Seconds(12.0), [exit = std::move(exit)] {
        printLine("[exec-mode] done");
        exit(0);
    });
    return std::nullopt;
}

} // namespace knokle
