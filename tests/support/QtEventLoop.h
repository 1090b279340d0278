#pragma once

// Running Qt's event loop in tests of the Linux realisations (header-only: only Qt-linked tests include it).

#include <QCoreApplication>
#include <QElapsedTimer>
#include <functional>

namespace knokle::test {

// One application object per test process, whichever test asks first.
inline void ensureQtApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "knokle_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication instance(argc, argv);
}

// Runs the event loop until the condition holds or the limit passes; false on time-out.
inline bool runEventsUntil(const std::function<bool()>& done, int limitMs = 2000) {
    ensureQtApplication();
    QElapsedTimer elapsed;
    elapsed.start();
    while (!done()) {
        if (elapsed.elapsed() > limitMs) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

// A bounded run of the real event loop.
inline void runEventsFor(int ms) { runEventsUntil([] { return false; }, ms); }

} // namespace knokle::test
