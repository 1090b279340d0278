#pragma once

#include "platform/Workspace.h"
#include "platform/linux/desktop/DesktopEntries.h"

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace knokle {

// The workspace of a Linux desktop: applications are desktop entries (found, named and launched through
// GIO), running applications are read from /proc.
class GioWorkspace final : public Workspace {
public:
    // procRoot and applicationFolders are there for tests; the defaults are the system's.
    // Only processes of `user` are ever listed.
    explicit GioWorkspace(std::filesystem::path procRoot = "/proc",
                          std::vector<std::filesystem::path> applicationFolders = defaultApplicationFolders(),
                          uid_t user = ::getuid());
    ~GioWorkspace() override; // finishes the launches already asked for

    std::vector<RunningApplication> runningApplications() override;
    void forceTerminate(const RunningApplication& application) override;
    ApplicationLookup lookUpApplication(const std::string& identifier) override;
    void openApplication(const std::string& location, std::function<void(OpenApplicationResult)> completion) override;
    void openURL(const std::string& url) override;
    std::string displayName(const std::string& location) override;
    std::string iconName(const std::string& location) override;

private:
    void launcherLoop();

    std::filesystem::path procRoot;
    uid_t user;
    DesktopEntryIndex entries;

    // Launches run one after another on a thread of their own, so that the caller returns at once and no
    // GLib main loop is needed.
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> launches;
    bool stopping = false;
    std::thread launcher;
};

} // namespace knokle
