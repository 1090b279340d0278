// Time from the desktop portal's Activated signal (stamped by the portal when it sends it) to the armed state
// stored and the menu content rebuilt: the portal conversation runs for real on a private session bus, with a
// test portal; the rest of the desktop is faked.
#include "Child.h"
#include "FakeHid.h"
#include "MemoryUserDefaults.h"
#include "TempDir.h"
#include "controller/AppDelegate.h"
#include "platform/linux/runtime/QtMainLoop.h"
#include "platform/linux/wayland/PortalHotKeyService.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusPendingCall>
#include <QDBusMessage>
#include <QEventLoop>
#include <QTimer>
#include <benchmark/benchmark.h>
#include <chrono>
#include <ctime>

using namespace knokle;

namespace {

struct Quiet final : MouseButtonMonitor, LoginItem, AlertPresenter, StatusItem, WorkQueue {
    std::optional<MonitorToken> addGlobalMonitor(std::function<void()>) override { return std::nullopt; }
    void removeMonitor(MonitorToken) override {}
    LoginItemStatus status() const override { return LoginItemStatus::notRegistered; }
    std::optional<std::string> registerItem() override { return std::nullopt; }
    std::optional<std::string> unregisterItem() override { return std::nullopt; }
    bool canChange() const override { return false; }
    int runModal(const Alert&) override { return 1; }
    bool hasButton() const override { return true; }
    void setIcon(bool) override {}
    void setMenu(const std::vector<MenuItem>&) override {
        rebuilt = std::chrono::steady_clock::now();
        if (onMenu) onMenu();
    }
    void post(std::function<void()>) override {}
    std::chrono::steady_clock::time_point rebuilt;
    std::function<void()> onMenu;
};

// The portal's own stamp (time.monotonic(), CLOCK_MONOTONIC like steady_clock here) of each Activated.
class ActivationStamps : public QObject {
    Q_OBJECT
public:
    double sentAt = 0;
public slots:
    void activated(const QDBusMessage& message) {
        auto arguments = message.arguments();
        if (arguments.size() >= 4) sentAt = qdbus_cast<QVariantMap>(arguments[3]).value("sent_at").toDouble();
    }
};

bool waitUntil(const std::function<bool()>& done, int limitMs) {
    QEventLoop wait;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &wait, [&] {
        if (done()) wait.quit();
    });
    poll.start(1);
    QTimer::singleShot(limitMs, &wait, &QEventLoop::quit);
    if (!done()) wait.exec();
    return done();
}

void BM_PortalActivatedToMenuRebuilt(benchmark::State& state) {
    int argc = 1;
    char name[] = "bench";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    test::TempDir dir;
    test::Child daemon({"dbus-daemon", "--session", "--nofork", "--print-address=1"}, {"PATH=/usr/bin:/bin"},
                       dir / "bus.out");
    test::waitFor([&] { return !daemon.lines().empty(); }, 5000);
    if (daemon.lines().empty()) return state.SkipWithError("no dbus-daemon");
    std::string address = daemon.lines()[0];
    std::string portalScript = std::string(KNOKLE_SOURCE_DIR) + "/tests/integration/portal_service.py";
    test::Child portal({"/usr/bin/python3", portalScript, (dir / "portal.log").string()},
                       {"DBUS_SESSION_BUS_ADDRESS=" + address}, dir / "portal.out");
    test::waitFor([&] { return test::text(dir / "portal.log").find("ready") != std::string::npos; }, 5000);

    QDBusConnection bus = QDBusConnection::connectToBus(QString::fromStdString(address), "bench");
    PortalHotKeyService hotKeys(bus);
    ActivationStamps stamps;
    bus.connect("org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop",
                "org.freedesktop.portal.GlobalShortcuts", "Activated", &stamps, SLOT(activated(QDBusMessage)));

    QtMainLoop loop;
    test::MemoryUserDefaults defaults;
    defaults.values = {{"didOnboard", true}};
    Quiet quiet;
    test::FakeHid hid;
    AppDelegate delegate(AppServices{.loop = loop,
                                     .background = quiet,
                                     .defaults = defaults,
                                     .hidManagers = hid.factory(),
                                     .sampleClock = nullptr,
                                     .buttons = quiet,
                                     .hotKeys = hotKeys,
                                     .loginItem = quiet,
                                     .alerts = quiet,
                                     .statusItem = quiet,
                                     .modeServices = nullptr,
                                     .storeURL = dir / "modes.json",
                                     .terminate = [] {},
                                     .makeCalibration = nullptr,
                                     .openModeEditor = nullptr,
                                     .environment = [](const char*) -> const char* { return nullptr; }});
    delegate.launch();
    if (!waitUntil([&] { return test::text(dir / "portal.log").find("ListShortcuts") != std::string::npos; }, 5000))
        return state.SkipWithError("the shortcut was not bound");

    QDBusMessage press = QDBusMessage::createMethodCall(
        "org.freedesktop.portal.Desktop", "/org/freedesktop/portal/desktop", "org.knokle.TestPortal", "Press");
    bool armed = false;
    for (auto _ : state) {
        bool rebuilt = false;
        quiet.onMenu = [&] { rebuilt = true; };
        bus.asyncCall(press);
        if (!waitUntil([&] { return rebuilt && stamps.sentAt > 0; }, 5000))
            return state.SkipWithError("no menu after Activated");
        armed = !armed;
        if (Settings(defaults).tapsActive() != armed) return state.SkipWithError("arming did not follow");
        double rebuiltAt = std::chrono::duration<double>(quiet.rebuilt.time_since_epoch()).count();
        state.SetIterationTime(rebuiltAt - stamps.sentAt);
        stamps.sentAt = 0;
    }
}

} // namespace

BENCHMARK(BM_PortalActivatedToMenuRebuilt)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(200);
BENCHMARK_MAIN();

#include "bench_portal_activation.moc"
