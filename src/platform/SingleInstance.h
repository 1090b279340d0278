#pragma once

#include <functional>
#include <string>

namespace knokle {

// What a later launch brings from its launcher: the X11 launch-feedback id and the Wayland activation token
// ("" for none).
struct LaunchRequest {
    std::string startupId;
    std::string activationToken;
};

// One running tray program per user and settings folder: a later launch hands over to the running one.
class SingleInstance {
public:
    enum class Claim {
        primary,    // this process is the running instance now
        handedOver, // another instance is running and was asked to show itself
        noAnswer,   // another instance is running but did not take the request
        unavailable // nothing could be arranged (no private runtime folder); the caller runs on its own
    };

    virtual ~SingleInstance() = default;
    // Becomes the running instance, or asks the running one to show itself, passing the launch's startup id
    // and activation token on.
    virtual Claim claim(const LaunchRequest& launch) = 0;
    // Once primary: calls onLaunch on the main loop for each later launch.
    virtual void listen(std::function<void(const LaunchRequest& launch)> onLaunch) = 0;
};

} // namespace knokle
