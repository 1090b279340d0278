#include "widgets/PreviewRenderer.h"

#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "sensing/Firmness.h"
#include "viewmodels/PreviewLevel.h"
#include "widgets/BlockMeterView.h"
#include "widgets/CalibrationWindowController.h"
#include "widgets/ModesWindowController.h"

#include <QBuffer>
#include <QLayout>
#include <QPixmap>
#include <QWidget>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace knokle::PreviewRenderer {

bool capture(QWidget* content, const std::string& path) {
    content->ensurePolished();
    if (content->layout()) content->layout()->activate();
    QPixmap picture = content->grab();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (picture.isNull() || !picture.save(&buffer, "PNG") || png.isEmpty()) {
        std::fprintf(stderr, "knokle: could not draw the preview\n");
        return false;
    }
    errno = 0;
    if (!writeFileAtomically(path, std::string_view(png.constData(), static_cast<size_t>(png.size())),
                             SymbolicLinks::replace)) {
        std::fprintf(stderr, "knokle: could not write %s (%s)\n", path.c_str(),
                     errno ? std::strerror(errno) : "write failed");
        return false;
    }
    return true;
}

namespace {

// A folder only this user can enter, under a name no one could have taken before us; removed with everything
// in it when done.
class PrivateFolder {
public:
    PrivateFolder() {
        std::error_code error;
        std::filesystem::path temp = std::filesystem::temp_directory_path(error);
        if (error) return;
        removeEndedOnes(temp);
        // The pid in the name tells a later preview whether this one is still at work.
        std::string pattern = (temp / ("knokle-preview-" + std::to_string(::getpid()) + "-XXXXXX")).string();
        if (::mkdtemp(pattern.data())) folder = pattern;
    }
    ~PrivateFolder() {
        std::error_code ignored;
        if (!folder.empty()) std::filesystem::remove_all(folder, ignored);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    bool made() const { return !folder.empty(); }
    const std::filesystem::path& path() const { return folder; }

private:
    // Folders of previews that were killed before they could remove their own: ours, and their process gone.
    static void removeEndedOnes(const std::filesystem::path& temp) {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator(temp, error)) {
            std::string name = entry.path().filename().string();
            if (!name.starts_with("knokle-preview-")) continue;
            std::string pid = name.substr(15, name.find('-', 15) - 15);
            struct stat info {};
            if (pid.empty() || pid.find_first_not_of("0123456789") != std::string::npos || pid.size() > 9 ||
                ::lstat(entry.path().c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid())
                continue;
            if (::kill(std::stoi(pid), 0) != 0 && errno == ESRCH) std::filesystem::remove_all(entry.path(), error);
        }
    }

    std::filesystem::path folder;
};

SlapMode sampleMode() {
    SlapMode mode;
    mode.name = "Heads-down Coding";
    mode.slapCount = 1;
    mode.openApps = {"firefox-esr", "org.gnome.Terminal"};
    mode.openURLs = {"http://localhost:3000"};
    mode.quitApps = {"thunderbird"};
    return mode;
}

} // namespace

bool renderModes(const std::string& path, MainLoop& loop, Workspace& workspace) {
    PrivateFolder folder;
    if (!folder.made()) {
        std::fprintf(stderr, "knokle: could not make a private temporary folder for the preview\n");
        return false;
    }
    auto manager = std::make_shared<ModeManager>(
        nullptr, folder.path() / ("knokle-preview-" + Uuid::random().upperString() + ".json"));
    manager->addOrUpdate(sampleMode()); // in place of the seeded one-tap mode
    ModesWindowController editor(
        manager, {loop, &workspace, nullptr, nullptr, [](QWidget*) { return std::optional<double>(); }, nullptr});
    if (!capture(editor.window(), path)) return false;
    printLine("rendered modes preview -> " + path);
    return true;
}

bool renderCalibration(const std::string& path, const std::vector<std::string>& args, MainLoop& loop) {
    CalibrationWindowController controller(loop);
    controller.screenHeight = [](QWidget*) { return std::optional<double>(); }; // the whole window, unscrolled
    CalibrationSetup sample;
    sample.firmness = 2;
    sample.cooldown = 1.0;
    sample.hotkeyDisplay = "Super+Alt+T";
    sample.autoPause = true;
    sample.thresholdG = 0.21;
    sample.markerFraction = firmnessLevel(sample.firmness).markerFraction;
    controller.apply(sample);
    controller.buildUI();
    if (auto level = previewLevel(args); level && *level > controller.displayLevel())
        controller.setDisplayLevel(*level);
    if (!capture(controller.window(), path)) return false;
    printLine("rendered calibration preview -> " + path);
    return true;
}

} // namespace knokle::PreviewRenderer
