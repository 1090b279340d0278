// Time from the accelerometer report that completes a gesture at the counter's firing count to the "[FIRE] "
// line: the whole pipeline from raw report to the gesture decision, with the desktop services faked.
#include "FakeHid.h"
#include "MemoryUserDefaults.h"
#include "common/AtomicFile.h"
#include "common/DiagnosticOutput.h"
#include "modes/ModeCoding.h"
#include "sensing/MotionSensor.h"
#include "sensing/SyntheticMotion.h"
#include "controller/AppDelegate.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>

using namespace knokle;

namespace {

// Time is set by the benchmark; queued work and timers are dropped (nothing here waits for them).
class ManualLoop final : public MainLoop, public WorkQueue {
public:
    MonotonicTime now() const override { return current; }
    void post(std::function<void()>) override {}
    TimerHandle after(Seconds, std::function<void()>) override { return {}; }
    TimerHandle every(Seconds, std::function<void()>) override { return {}; }
    MonotonicTime current{};
};

struct Quiet final : MouseButtonMonitor, HotKeyService, LoginItem, AlertPresenter, StatusItem {
    std::optional<MonitorToken> addGlobalMonitor(std::function<void()>) override { return std::nullopt; }
    void removeMonitor(MonitorToken) override {}
    std::variant<HotKeyToken, HotKeyFailure> registerHotKey(std::uint32_t, std::uint32_t,
                                                            std::function<void()>) override {
        return HotKeyToken{1};
    }
    void unregisterHotKey(HotKeyToken) override {}
    LoginItemStatus status() const override { return LoginItemStatus::notRegistered; }
    std::optional<std::string> registerItem() override { return std::nullopt; }
    std::optional<std::string> unregisterItem() override { return std::nullopt; }
    bool canChange() const override { return false; }
    int runModal(const Alert&) override { return 1; }
    bool hasButton() const override { return true; }
    void setIcon(bool) override {}
    void setMenu(const std::vector<MenuItem>&) override {}
};

void BM_LastReportToFireLine(benchmark::State& state) {
    std::string folder = (std::filesystem::temp_directory_path() / "knokle-bench-XXXXXX").string();
    if (!::mkdtemp(folder.data())) {
        state.SkipWithError("no temporary folder");
        return;
    }
    SlapMode mode;
    mode.name = "Two";
    mode.slapCount = 2;
    mode.openApps = {"org.example.Notes"};
    writeFileAtomically(std::filesystem::path(folder) / "modes.json", encodeModes({mode}));

    ManualLoop loop;
    test::MemoryUserDefaults defaults;
    defaults.values = {{"tapsActive", true}, {"autoPause", false}, {"didOnboard", true}};
    Quiet quiet;
    double sampleTime = 0;
    test::FakeHid hid;
    auto accelerometer = hid.addDevice();
    AppDelegate app(AppServices{.loop = loop,
                                .background = loop,
                                .defaults = defaults,
                                .hidManagers = hid.factory(),
                                .sampleClock = [&] { return sampleTime; },
                                .buttons = quiet,
                                .hotKeys = quiet,
                                .loginItem = quiet,
                                .alerts = quiet,
                                .statusItem = quiet,
                                .modeServices = nullptr,
                                .storeURL = std::filesystem::path(folder) / "modes.json",
                                .terminate = [] {},
                                .makeCalibration = nullptr,
                                .openModeEditor = nullptr,
                                .environment = [](const char*) -> const char* { return nullptr; }});

    bool fired = false;
    auto previousSink = setLineSink([&](std::string_view line) {
        if (line.rfind("[FIRE] ", 0) == 0) fired = true;
    });
    app.launch();

    TapShape tap;
    tap.peak = 0.15;
    SyntheticMotion motion;
    motion.rest(0.3).taps(2, 0.3, tap).rest(0.1);
    std::vector<std::vector<std::uint8_t>> reports;
    for (const auto& s : motion.samples())
        reports.push_back(encodeReport(s.x, s.y, s.z));

    double offset = 0;
    for (auto _ : state) {
        fired = false;
        size_t i = 0;
        std::chrono::steady_clock::duration elapsed{};
        for (; i < reports.size() && !fired; ++i) {
            sampleTime = offset + motion.samples()[i].t;
            loop.current = MonotonicTime(toSteady(Seconds(sampleTime)));
            auto start = std::chrono::steady_clock::now();
            accelerometer->deliver(reports[i]);
            elapsed = std::chrono::steady_clock::now() - start;
        }
        if (!fired) {
            state.SkipWithError("the gesture did not fire");
            break;
        }
        state.SetIterationTime(std::chrono::duration<double>(elapsed).count());
        offset += 10; // past the cooldown
    }
    setLineSink(std::move(previousSink));
    std::filesystem::remove_all(folder);
}

} // namespace

BENCHMARK(BM_LastReportToFireLine)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
