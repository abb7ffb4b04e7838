// Shows one of the About area's windows on the current display and saves a picture of the
// screen: used by scripts/screenshots-about.sh under Xvfb.
//   about_screens about <file.png>    the About dialog
//   about_screens browse <file.png>   the folder picker of the Browse button
//   about_screens help <file.png>     Help > Content (the desktop's CHM viewer)

#include "about/about_dialog.h"
#include "about/app_identity.h"
#include "about/help_content.h"
#include "platform/folder_picker.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    orvane::SetUpApplication(app);
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s about|browse|help <file.png>\n", argv[0]);
        return 2;
    }
    const QString mode = QString::fromLocal8Bit(argv[1]);
    const QString out = QString::fromLocal8Bit(argv[2]);

    std::unique_ptr<QWidget> window;
    int settle = 800;
    if (mode == QLatin1String("about")) {
        window = std::make_unique<orvane::frmAbout>(nullptr, [](const QUrl &) {});
    } else if (mode == QLatin1String("browse")) {
        window.reset(orvane::platform::MakeFolderDialog(nullptr));
        settle = 1500;
    } else if (mode == QLatin1String("help")) {
        orvane::OpenHelpContent();
        settle = 6000; // the viewer is another program
    } else {
        std::fprintf(stderr, "unknown mode %s\n", argv[1]);
        return 2;
    }
    if (window)
        window->show();

    int status = 1;
    QTimer::singleShot(settle, &app, [&] {
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        status = shot.save(out, "PNG") ? 0 : 1;
        if (status != 0)
            std::fprintf(stderr, "cannot write %s\n", argv[2]);
        app.quit();
    });
    app.exec();
    return status;
}
