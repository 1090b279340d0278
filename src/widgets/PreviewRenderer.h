#pragma once

#include "platform/MainLoop.h"
#include "platform/Workspace.h"

#include <string>
#include <vector>

class QWidget;

namespace knokle {

// Draws the program's windows off screen with sample content and writes each as a PNG file. The user's modes
// and settings are never read or touched. Each returns false (and says why on standard error) when no file
// was written.
namespace PreviewRenderer {

bool renderCalibration(const std::string& path, const std::vector<std::string>& args, MainLoop& loop);
bool renderModes(const std::string& path, MainLoop& loop, Workspace& workspace);

// The widget as drawn at its screen's scale, written to the path through a file beside it, so that a link
// planted at the path is replaced rather than followed.
bool capture(QWidget* content, const std::string& path);

} // namespace PreviewRenderer
} // namespace knokle
