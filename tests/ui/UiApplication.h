#pragma once

#include <QApplication>

namespace knokle::test {

// One widget application per test process (offscreen).
inline void ensureUiApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "knokle_ui_tests";
    static char* argv[] = {name, nullptr};
    // Never destroyed: widgets and input devices that outlive a test must not meet a dead application at exit.
    static QApplication* instance = new QApplication(argc, argv);
    (void)instance;
}

} // namespace knokle::test
