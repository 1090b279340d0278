#include "widgets/WindowPresenter.h"
#include "WidgetTesting.h"
#include "widgets/WindowCloseObserver.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <gtest/gtest.h>

using namespace knokle;

namespace {

struct Windows {
    bool app = (test::ensureWidgetsApplication(), true); // before the widgets
    QWidget editor, calibration;
    std::vector<QWidget*> activated;
    WindowPresenter presenter{[this](QWidget* w) { activated.push_back(w); }};
    QRect area = QGuiApplication::primaryScreen()->availableGeometry();

    Windows() {
        // Positions are those of the frames, as the presenter sees windows.
        editor.resize(300, 250);
        editor.move(area.center().x() - 150, area.top() + 100);
        calibration.resize(200, 200);
        calibration.move(area.center().x() - 100, area.top() + 50);
    }
};

} // namespace

TEST(WindowPresenter, OpensBesideTheOtherWindowOnTheSameSpot) {
    Windows w;
    w.presenter.present(&w.editor, &w.calibration);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.editor.pos(), QPoint(w.area.center().x() - 150, w.area.top() + 100)) << "nothing to avoid yet";
    EXPECT_EQ(w.activated, std::vector<QWidget*>{&w.editor}) << "activated once on screen";
    QRect editorFrame = w.editor.frameGeometry();

    // Never shown, so without a frame yet: it is expected to get the editor's.
    w.presenter.present(&w.calibration, &w.editor);
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.calibration.isVisible());
    EXPECT_EQ(w.calibration.pos().x(), editorFrame.right() + 1 - 40);
    EXPECT_EQ(w.calibration.frameGeometry().bottom(), editorFrame.bottom() - 30);
    EXPECT_EQ(w.activated.back(), &w.calibration);

    // Already on screen: brought forward, never moved.
    QPoint before = w.calibration.pos();
    w.presenter.present(&w.calibration, &w.editor);
    QCoreApplication::processEvents();
    EXPECT_EQ(w.calibration.pos(), before);
    EXPECT_EQ(w.activated.size(), 3u);
}

TEST(WindowPresenter, AClosedOtherWindowIsNotAvoidedAndAMinimisedOneComesBack) {
    Windows w;
    w.presenter.present(&w.editor, nullptr);
    w.editor.hide();
    w.presenter.present(&w.calibration, &w.editor);
    EXPECT_EQ(w.calibration.pos(), QPoint(w.area.center().x() - 100, w.area.top() + 50));
    EXPECT_FALSE(w.editor.isVisible()) << "a closed window is not brought back";

    w.presenter.present(nullptr, &w.editor); // nothing to show
    w.editor.showMinimized();
    w.presenter.present(&w.editor, nullptr);
    EXPECT_FALSE(w.editor.isMinimized());
}

TEST(WindowCloseObserver, RunsEachTimeTheWindowIsClosedAndSeesItGone) {
    test::ensureWidgetsApplication();
    QWidget window;
    std::vector<bool> visibleWhenCalled;
    new WindowCloseObserver(&window, [&] { visibleWhenCalled.push_back(window.isVisible()); });
    window.show();
    window.close();
    window.show();
    window.hide();
    EXPECT_EQ(visibleWhenCalled, (std::vector<bool>{false, false}));
}
