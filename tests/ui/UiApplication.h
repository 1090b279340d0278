#pragma once

#include <QApplication>

namespace knokle::test {

// One widget application per test process (offscreen).
inline void ensureUiApplication() {
    if (QApplication::instance()) return;
    static int argc = 1;
    static char name[] = "knokle_ui_tests";
    static char* argv[] = {name, nullptr};
    static QApplication instance(argc, argv);
}

} // namespace knokle::test
