#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace knokle {

// One entry of a running-applications snapshot. On Linux the bundle identifier is the application's
// desktop entry ID ("org.gnome.TextEditor", "firefox").
struct RunningApplication {
    std::optional<std::string> bundleIdentifier;
    std::int32_t processIdentifier = 0; // below 1: no usable process
    bool isTerminated = false;
};

// The installed application an identifier stands for on this desktop.
struct ResolvedApplication {
    std::string desktopEntry; // its desktop entry ID
    std::string location;     // its desktop entry file
    // Names its windows may carry (X11 class, GTK application ID, KDE desktop file), compared ignoring case.
    std::vector<std::string> windowNames;
};

// What an identifier means here: itself when it is installed; this desktop's own choice for a well-known
// identifier of the other desktop (its browser, mail, notes, terminal); nothing when there is none.
struct ApplicationLookup {
    std::optional<ResolvedApplication> application;
    bool wellKnown = false; // the identifier is one of the other desktop's well-known applications
};

// What an open request ends with: a running application, an error, or (rarely) neither. An application
// started over D-Bus has no process identifier of its own (0).
struct OpenApplicationResult {
    std::optional<RunningApplication> application;
    std::optional<std::string> errorDescription; // readable, printed in the launch-failed lines
};

// The desktop's workspace. Every operation is callable from any thread.
class Workspace {
public:
    virtual ~Workspace() = default;

    // A fresh snapshot each time it is asked.
    virtual std::vector<RunningApplication> runningApplications() = 0;
    // Ends the application without asking it; the outcome is not reported.
    virtual void forceTerminate(const RunningApplication& application) = 0;
    // The desktop entry this identifier means here. The identifier itself is never changed.
    virtual ApplicationLookup lookUpApplication(const std::string& identifier) = 0;
    // Returns at once; calls completion exactly once later, on a thread of the realisation's choosing.
    virtual void openApplication(const std::string& location,
                                 std::function<void(OpenApplicationResult)> completion) = 0;
    // Opens the URL with the user's default handler; the outcome is not reported.
    virtual void openURL(const std::string& url) = 0;
    // The name shown to the user for an application location.
    virtual std::string displayName(const std::string& location) = 0;
    // The application's icon: a theme icon name or an image file path; empty when it has none.
    virtual std::string iconName(const std::string& location) = 0;
};

} // namespace knokle
