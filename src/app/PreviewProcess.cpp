#include "app/PreviewProcess.h"

#include "platform/linux/desktop/GioWorkspace.h"
#include "platform/linux/runtime/QtMainLoop.h"
#include "widgets/PreviewRenderer.h"

#include <QApplication>
#include <cstdlib>

namespace knokle {

int runPreviewProcess(const CommandLine& line, int argc, char** argv) {
    // Always off screen: a preview never shows a window, and needs no display.
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    QtMainLoop loop;
    std::vector<std::string> args(argv, argv + argc);
    bool written = false;
    if (line.renderModesPreview) {
        GioWorkspace workspace;
        written = PreviewRenderer::renderModes(*line.renderModesPreview, loop, workspace);
    } else if (line.renderCalPreview) {
        written = PreviewRenderer::renderCalibration(*line.renderCalPreview, args, loop);
    }
    return written ? 0 : 1;
}

} // namespace knokle
