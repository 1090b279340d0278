#pragma once

#include "platform/WindowControl.h"
#include "platform/linux/wayland/CompositorWindow.h"

#include <filesystem>
#include <memory>
#include <string>

typedef struct _GDBusConnection GDBusConnection;

namespace knokle {

// Full screen on KDE Plasma through KWin's scripting interface on the session bus: a short script, written to
// the runtime folder, loaded, run and unloaded again, lists the normal windows back to us (a call to a path of
// ours on this connection) and, when asked, puts one of them in full screen. Works with KWin 5 and 6. Any
// thread may call; each call waits at most a couple of seconds for KWin.
class KWinWindowControl final : public WindowControl {
public:
    // `busAddress` empty: the session bus.
    explicit KWinWindowControl(std::filesystem::path runtimeFolder, std::string busAddress = "");
    ~KWinWindowControl() override;
    KWinWindowControl(const KWinWindowControl&) = delete;
    KWinWindowControl& operator=(const KWinWindowControl&) = delete;

    // Whether org.kde.KWin is on that bus now.
    static bool kwinOnBus(const std::string& busAddress = "");

    std::vector<WindowId> topLevelWindows() override;
    std::optional<WindowId> applicationWindow(const WindowSearch& search) override;
    std::optional<bool> isFullScreen(WindowId window) override;
    void requestFullScreen(WindowId window) override;
    std::optional<std::string> fullScreenLimitation() override { return std::nullopt; }

private:
    // Runs the script once; the windows it listed, nothing when KWin did not run it or did not answer.
    std::optional<std::vector<CompositorWindow>> run(const std::string& fullScreenId);
    GDBusConnection* connection();

    std::filesystem::path folder;
    std::string address;
    std::mutex connecting;
    GDBusConnection* bus = nullptr;
    WindowIdTable ids;
};

// The script's text: lists every normal window (id, pid, desktop file name or class, focus, full screen) to
// `replyService` at `replyPath`, after putting the one with id `fullScreenId` (if any) in full screen.
std::string kwinWindowScript(const std::string& replyService, const std::string& replyPath,
                             const std::string& fullScreenId);
// The windows of the script's answer; ids from `ids`. Entries that are not windows are skipped.
std::vector<CompositorWindow> kwinWindows(const std::string& answer, WindowIdTable& ids);

} // namespace knokle
