#include "windows/PreviewRenderer.h"

#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "shell/PreviewLevel.h"
#include "windows/BlockMeterView.h"
#include "windows/CalibrationWindowController.h"

#include <QBuffer>
#include <QLayout>
#include <QPixmap>
#include <QWidget>
#include <cerrno>
#include <cstdio>
#include <cstring>

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
    if (!writeFileAtomically(path, std::string_view(png.constData(), static_cast<size_t>(png.size())))) {
        std::fprintf(stderr, "knokle: could not write %s (%s)\n", path.c_str(),
                     errno ? std::strerror(errno) : "write failed");
        return false;
    }
    return true;
}

bool renderCalibration(const std::string& path, const std::vector<std::string>& args, MainLoop& loop) {
    CalibrationWindowController controller(loop);
    CalibrationSetup sample;
    sample.firmness = 2;
    sample.cooldown = 1.0;
    sample.hotkeyDisplay = "⌥⌘T";
    sample.autoPause = true;
    sample.thresholdG = 0.21;
    sample.markerFraction = 0.6; // firmness 2's marker
    controller.apply(sample);
    controller.buildUI();
    if (auto level = previewLevel(args); level && *level > controller.displayLevel())
        controller.setDisplayLevel(*level);
    if (!capture(controller.window(), path)) return false;
    printLine("rendered calibration preview -> " + path);
    return true;
}

} // namespace knokle::PreviewRenderer
