// The least a Qt tray program can be: an icon with a short menu. bench/tray-perf.sh measures the program's idle
// memory and wake-ups against it.

#include <QApplication>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setQuitOnLastWindowClosed(false);
    QPixmap pixmap(22, 22);
    pixmap.fill(Qt::transparent);
    {
        QPainter painter(&pixmap);
        painter.setBrush(Qt::black);
        painter.drawEllipse(3, 3, 16, 16);
    }
    QMenu menu;
    menu.addAction("Test Taps");
    menu.addSeparator();
    QObject::connect(menu.addAction("Quit"), &QAction::triggered, &app, &QApplication::quit);
    QSystemTrayIcon tray{QIcon(pixmap)};
    tray.setContextMenu(&menu);
    tray.show();
    return app.exec();
}
