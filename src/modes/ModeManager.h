#pragma once

#include "modes/SlapMode.h"
#include "platform/BrowserScripting.h"
#include "platform/Clock.h"
#include "platform/MainLoop.h"
#include "platform/ShortcutRunner.h"
#include "platform/WindowControl.h"
#include "platform/WorkQueue.h"
#include "platform/Workspace.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace knokle {

// What running a mode acts on. Everything here must outlive the launches and retries a run starts.
struct ModeServices {
    Workspace& workspace;
    WindowControl& windows;
    BrowserScripting& browsers;
    ShortcutRunner& shortcuts;
    MainLoop& mainLoop;                       // launch retries are scheduled here
    WorkQueue& background;                    // full-screen polling runs here
    Clock& clock;                             // waits and polls sleep on this
    std::function<bool()> openAppsFullScreen; // the setting's reading, asked after each successful launch
    // Sends SIGKILL to a process: 0 when it was sent, else the errno. Empty means kill(2) itself; tests put
    // a recorder here so that no real process is signalled.
    std::function<int(std::int32_t processIdentifier)> sendKill = {};
};

class ModeManager {
public:
    // storeURL: the modes file (its folder is made when missing). services may be null for a manager that
    // never runs a mode.
    ModeManager(std::shared_ptr<const ModeServices> services, std::filesystem::path storeURL);

    std::vector<SlapMode> modes;
    const std::filesystem::path& storeURL() const;

    static std::vector<SlapMode> defaultModes();

    std::optional<SlapMode> mode(int64_t slapCount) const; // mode(forSlapCount:)
    void addOrUpdate(const SlapMode& mode);
    static std::optional<std::string> normalisedURL(const std::string& text);

    // Runs the mode on the caller's thread (a background thread); launches, retries and full screen go on
    // after it returns.
    void execute(const SlapMode& mode) const;

private:
    void load();
    void save();
    void dedupe();

    std::shared_ptr<const ModeServices> services;
    std::filesystem::path store;
    // The file at the store could not be read or decoded: it is moved aside before anything is saved.
    bool keepBeforeSaving = false;
    bool refuseSaving = false;
};

} // namespace knokle
