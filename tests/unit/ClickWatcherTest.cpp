#include "sensing/ClickWatcher.h"
#include "FakeShellServices.h"
#include "VirtualLoop.h"

#include <cmath>
#include <gtest/gtest.h>

using namespace knokle;

using test::FakeButtons;

TEST(ClickWatcher, InstallsOneMonitorAndRemovesItOnce) {
    test::VirtualLoop loop;
    FakeButtons buttons;
    {
        ClickWatcher watcher(buttons, loop);
        watcher.stop(); // nothing installed: nothing to remove
        watcher.start();
        watcher.start();
        EXPECT_EQ(buttons.added.size(), 1u);
        watcher.stop();
        watcher.stop();
        EXPECT_EQ(buttons.removed, buttons.added);
        watcher.start();
    }
    // Destruction removes the second monitor; a click already on its way finds the watcher gone.
    EXPECT_EQ(buttons.removed, buttons.added);
    buttons.click();
}

TEST(ClickWatcher, RecordsTheLatestClick) {
    for (bool available : {true, false}) {
        test::VirtualLoop loop;
        FakeButtons buttons;
        buttons.available = available;
        ClickWatcher watcher(buttons, loop);
        watcher.start();
        EXPECT_TRUE(std::isinf(watcher.secondsSinceLastClick(loop.now()))) << "nothing vetoed before a click";
        loop.advance(3);
        buttons.click();
        loop.advance(0.1);
        buttons.click(); // a press and its release
        loop.advance(0.2);
        if (available) {
            EXPECT_NEAR(watcher.secondsSinceLastClick(loop.now()), 0.2, 1e-9);
        } else {
            EXPECT_TRUE(std::isinf(watcher.secondsSinceLastClick(loop.now())));
        }
    }
}
