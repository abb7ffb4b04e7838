// Orvane Replace: the desktop program. Everything lives in the main window.

#include "mainwindow/main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane Replace"));
    QApplication::setApplicationDisplayName(QStringLiteral("Orvane Replace"));

    orvane::frmMain window;
    window.show();
    return app.exec();
}
