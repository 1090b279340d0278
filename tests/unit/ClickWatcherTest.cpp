#include "sensing/ClickWatcher.h"
#include "VirtualLoop.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <memory>

using namespace knokle;

namespace {

// Answers as told and keeps every handler it was given, even removed ones, so a test can deliver a click
// that was already on its way when the monitor was removed.
class FakeButtons final : public MouseButtonMonitor {
public:
    bool available = true;
    int added = 0;
    std::vector<MonitorToken> removed;
    std::map<MonitorToken, std::function<void()>> handlers;

    std::optional<MonitorToken> addGlobalMonitor(std::function<void()> handler) override {
        if (!available) return std::nullopt;
        ++added;
        MonitorToken token = 100 + static_cast<MonitorToken>(added);
        handlers[token] = std::move(handler);
        return token;
    }
    void removeMonitor(MonitorToken token) override { removed.push_back(token); }
    void click() {
        for (auto& [token, handler] : handlers)
            handler();
    }
};

TEST(ClickWatcher, StartTwiceInstallsOneMonitorAndStopRemovesIt) {
    test::VirtualLoop loop;
    FakeButtons buttons;
    ClickWatcher watcher(buttons, loop);
    watcher.stop(); // nothing installed: nothing to remove
    EXPECT_TRUE(buttons.removed.empty());

    watcher.start();
    watcher.start();
    EXPECT_EQ(buttons.added, 1);
    ASSERT_TRUE(watcher.monitor.has_value());
    MonitorToken token = *watcher.monitor;

    watcher.stop();
    watcher.stop();
    EXPECT_EQ(buttons.removed, std::vector<MonitorToken>{token});
    EXPECT_FALSE(watcher.monitor.has_value());

    // Destruction removes the monitor; a click already on its way finds the watcher gone.
    {
        ClickWatcher shortLived(buttons, loop);
        shortLived.start();
    }
    EXPECT_EQ(buttons.removed.size(), 2u);
    buttons.click();
}

TEST(ClickWatcher, TimeSinceLastClick) {
    test::VirtualLoop loop;
    FakeButtons buttons;
    ClickWatcher watcher(buttons, loop);
    watcher.start();
    EXPECT_TRUE(std::isinf(watcher.secondsSinceLastClick(loop.now())));

    loop.advance(3);
    buttons.click();
    for (double later : {0.0, 0.2, 0.25, 0.3}) {
        EXPECT_NEAR(watcher.secondsSinceLastClick(loop.now() + toSteady(Seconds(later))), later, 1e-9);
    }
    // A later press or release moves the mark.
    loop.advance(0.1);
    buttons.click();
    EXPECT_EQ(watcher.lastClick, loop.now());
}

TEST(ClickWatcher, WithoutAMonitorNoClickIsRecorded) {
    test::VirtualLoop loop;
    FakeButtons buttons;
    buttons.available = false;
    ClickWatcher watcher(buttons, loop);
    watcher.start();
    EXPECT_FALSE(watcher.monitor.has_value());
    EXPECT_TRUE(std::isinf(watcher.secondsSinceLastClick(loop.now())));
    watcher.stop();
    EXPECT_TRUE(buttons.removed.empty());
}

} // namespace
