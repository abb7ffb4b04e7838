// Orvane Replace: the desktop program. Everything lives in the main window.

#include "about/app_identity.h"
#include "mainwindow/main_window.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    orvane::SetUpApplication(app);

    orvane::frmMain window;
    window.show();
    return app.exec();
}
