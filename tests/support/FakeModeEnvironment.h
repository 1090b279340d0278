#pragma once

#include "FakeBrowserScripting.h"
#include "FakeProcessSignaller.h"
#include "FakeShortcutRunner.h"
#include "FakeWindowControl.h"
#include "FakeWorkspace.h"
#include "VirtualLoop.h"
#include "modes/ModeManager.h"

#include <atomic>

namespace knokle::test {

// Everything a mode run acts on, as fakes in virtual time. Nothing real is started or signalled.
struct FakeModeEnvironment {
    VirtualLoop loop;
    FakeWorkspace workspace;
    FakeWindowControl windows;
    FakeBrowserScripting browsers;
    FakeShortcutRunner shortcuts;
    FakeProcessSignaller signals;
    std::shared_ptr<std::atomic<bool>> fullScreenSetting = std::make_shared<std::atomic<bool>>(true);

    // Must not outlive the environment.
    std::shared_ptr<const ModeServices> services() {
        return std::make_shared<const ModeServices>(
            ModeServices{workspace, windows, browsers, shortcuts, loop, loop.workQueue(), loop,
                         [setting = fullScreenSetting] { return setting->load(); }, signals.function()});
    }
};

} // namespace knokle::test
