// Time from asking a mode to run to the first launch request, for a mode that opens two applications and
// quits nothing. Workspace and windows are fakes, so this measures our own work only.
#include "FakeModeEnvironment.h"
#include "FakeWorkspace.h"
#include "modes/ModeManager.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>

using namespace knokle;

namespace {

// Nothing in this run is delayed or polled, so the loop only has to hold what it is given.
class HoldingLoop final : public MainLoop, public WorkQueue, public Clock {
public:
    MonotonicTime now() const override { return std::chrono::steady_clock::now(); }
    void post(std::function<void()> fn) override { held.push_back(std::move(fn)); }
    TimerHandle after(Seconds, std::function<void()> fn) override {
        held.push_back(std::move(fn));
        return {};
    }
    TimerHandle every(Seconds, std::function<void()> fn) override { return after(Seconds(0), std::move(fn)); }
    void sleepFor(Seconds) override {}
    std::deque<std::function<void()>> held;
};

void BM_ExecuteToFirstLaunchRequest(benchmark::State& state) {
    std::string folder = (std::filesystem::temp_directory_path() / "knokle-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    test::FakeWorkspace workspace;
    test::FakeWindowControl windows;
    test::FakeBrowserScripting browsers;
    test::FakeShortcutRunner shortcuts;
    HoldingLoop loop;
    workspace.install("org.gnome.TextEditor");
    workspace.install("firefox");
    auto services =
        std::make_shared<const ModeServices>(ModeServices{workspace, windows, browsers, shortcuts, loop, loop, loop,
                                                          [] { return true; }, [](std::int32_t) { return 0; }});
    ModeManager manager(services, std::filesystem::path(folder) / "modes.json");

    SlapMode mode;
    mode.name = "Write";
    mode.slapCount = 2;
    mode.openApps = {"org.gnome.TextEditor", "firefox"};

    std::chrono::steady_clock::time_point firstRequest;
    bool seen = false;
    workspace.onOpenApplication = [&](const std::string&) {
        if (!seen) firstRequest = std::chrono::steady_clock::now();
        seen = true;
    };
    for (auto _ : state) {
        seen = false;
        auto start = std::chrono::steady_clock::now();
        manager.execute(mode);
        if (!seen) {
            state.SkipWithError("no launch was requested");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(firstRequest - start).count());
        workspace.forgetOpenRequests(); // outside the measured span; keeps memory flat
    }
    std::filesystem::remove_all(folder);
}

} // namespace

BENCHMARK(BM_ExecuteToFirstLaunchRequest)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
