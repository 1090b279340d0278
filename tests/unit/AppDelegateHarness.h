#pragma once

#include "FakeHid.h"
#include "FakeModeEnvironment.h"
#include "FakeShellServices.h"
#include "LineCapture.h"
#include "MemoryUserDefaults.h"
#include "TempDir.h"
#include "common/AtomicFile.h"
#include "modes/ModeCoding.h"
#include "sensing/MotionSensor.h"
#include "sensing/SyntheticMotion.h"
#include "controller/AppDelegate.h"
#include "controller/Settings.h"

#include <map>

namespace knokle::test {

// Each sample is delivered, and stamped, when the virtual loop reaches its time.
inline void play(VirtualLoop& loop, FakeHidDevice& device, const SyntheticMotion& motion) {
    for (const auto& sample : motion.samples()) {
        if (sample.t > loop.elapsed()) loop.advance(sample.t - loop.elapsed());
        if (device.handler) device.deliver(encodeReport(sample.x, sample.y, sample.z)); // none without a sensor
    }
}

// A firm tap: 0.18 g, which is 1.50 times the default level's threshold.
inline constexpr TapShape kFirmTap{0.1812, 0.008, 0.002, 1};

struct AppHarness {
    FakeModeEnvironment env;
    MemoryUserDefaults defaults;
    TempDir dir;
    FakeButtons buttons;
    FakeHotKeys hotKeys;
    FakeLoginItem login;
    FakeAlerts alerts;
    FakeStatusItem status;
    FakeHid hid;
    std::shared_ptr<FakeHidDevice> accelerometer = hid.addDevice();
    LineCapture lines;
    FakeCalibration* calibration = nullptr;
    bool didOnboardWhenWindowMade = false;
    std::map<std::string, std::string> environment;
    const SensorAccess* sensorAccess = nullptr;
    std::function<std::pair<std::unique_ptr<TapSource>, AudioCapture*>()> microphone;
    SessionPrivacy* privacy = nullptr;
    InputActivityMonitor* inputActivity = nullptr;
    int terminated = 0;
    int editorOpens = 0;
    std::unique_ptr<AppDelegate> app;

    AppHarness() { defaults.values["didOnboard"] = true; }

    void storeModes(const std::vector<SlapMode>& modes) { writeFileAtomically(dir / "modes.json", encodeModes(modes)); }
    Settings settings() { return Settings(defaults); }

    AppDelegate& make() {
        auto makeWindow = [this](const CalibrationSetup& setup) {
            auto window = std::make_unique<FakeCalibration>();
            window->setup = setup;
            didOnboardWhenWindowMade = settings().didOnboard();
            calibration = window.get();
            return window;
        };
        auto getenv = [this](const char* name) -> const char* {
            auto it = environment.find(name);
            return it == environment.end() ? nullptr : it->second.c_str();
        };
        app = std::make_unique<AppDelegate>(
            AppServices{.loop = env.loop,
                        .background = env.loop.workQueue(),
                        .defaults = defaults,
                        .hidManagers = hid.factory(),
                        .sampleClock = [this] { return env.loop.elapsed(); },
                        .buttons = buttons,
                        .hotKeys = hotKeys,
                        .loginItem = login,
                        .alerts = alerts,
                        .statusItem = status,
                        .modeServices = env.services(),
                        .storeURL = dir / "modes.json",
                        .terminate = [this] { ++terminated; },
                        .makeCalibration = makeWindow,
                        .openModeEditor = [this] { ++editorOpens; },
                        .environment = getenv,
                        .sensorAccess = sensorAccess,
                        .makeMicrophoneSource = microphone,
                        .inputActivity = inputActivity,
                        .privacy = privacy});
        return *app;
    }

    AppDelegate& launch() {
        make().launch();
        env.loop.runPending();
        rest(0.3); // lets the detector learn gravity
        lines.clear();
        return *app;
    }

    // Taps on the chassis `spacing` seconds apart, then `after` seconds of rest.
    void taps(int count, double after = 2.5, double spacing = 0.3, TapShape shape = kFirmTap) {
        SyntheticMotion motion(1000, 1, 0, env.loop.elapsed());
        play(env.loop, *accelerometer, motion.taps(count, spacing, shape).rest(after));
        env.loop.runPending();
    }
    void rest(double seconds) { taps(0, seconds); }

    // Lines of the pipeline and the controller (the sensor's own come only while launching).
    std::vector<std::string> said() const { return lines.lines(); }
};

inline SlapMode modeWith(std::int64_t slapCount, std::string name, std::vector<std::string> openApps) {
    SlapMode mode;
    mode.slapCount = slapCount;
    mode.name = std::move(name);
    mode.openApps = std::move(openApps);
    return mode;
}

} // namespace knokle::test
