// Runs a folder tree through the real window (offscreen) and reports the run's wall time and
// the longest stretch in which the window's event loop did not turn.
//
//   bench_window --path DIR --mask M --find F --text T --action replace|find
//   -> window_seconds=<float> max_stall_ms=<float>
//
// Files under DIR are rewritten by a replace run: hand it a copy of the corpus.

#include "about/app_identity.h"
#include "mainwindow/main_window.h"
#include "mainwindow/results_model.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int usage()
{
    std::fprintf(stderr,
                 "usage: bench_window --path DIR --mask M --find F [--text T] "
                 "[--action replace|find]\n");
    return 2;
}

template<class T> T *control(QWidget &window, const char *name)
{
    T *found = window.findChild<T *>(QLatin1String(name));
    if (!found) {
        std::fprintf(stderr, "bench_window: no control %s\n", name);
        std::exit(1);
    }
    return found;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QString path, mask, find, text, action = QStringLiteral("replace");
    for (int i = 1; i < argc; ++i) {
        const char *flag = argv[i];
        if (i + 1 >= argc)
            return usage();
        const QString value = QString::fromLocal8Bit(argv[++i]);
        if (!std::strcmp(flag, "--path"))
            path = value;
        else if (!std::strcmp(flag, "--mask"))
            mask = value;
        else if (!std::strcmp(flag, "--find"))
            find = value;
        else if (!std::strcmp(flag, "--text"))
            text = value;
        else if (!std::strcmp(flag, "--action"))
            action = value;
        else
            return usage();
    }
    // An empty mask or path would open a message box and wait for a click.
    if (path.isEmpty() || mask.isEmpty() || find.isEmpty()
        || (action != QLatin1String("replace") && action != QLatin1String("find")))
        return usage();

    QApplication app(argc, argv);
    orvane::SetUpApplication(app);
    orvane::frmMain window;
    window.show();
    QApplication::processEvents();

    control<QComboBox>(window, "cboFileMask")->setEditText(mask);
    control<QComboBox>(window, "cboFilePath")->setEditText(path);
    control<QPlainTextEdit>(window, "txtFind")->setPlainText(find);
    if (action == QLatin1String("find"))
        control<QRadioButton>(window, "optAction6")->setChecked(true);
    else
        control<QPlainTextEdit>(window, "txtReplace")->setPlainText(text);

    // A 1 ms timer turns with the event loop; the widest gap between two turns is the longest
    // the window could not respond.
    QElapsedTimer clock;
    qint64 lastTick = 0;
    qint64 maxGapNs = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(1);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        maxGapNs = std::max(maxGapNs, now - lastTick);
        lastTick = now;
    });

    double seconds = 0;
    QObject::connect(&window, &orvane::frmMain::runFinished, [&] {
        const qint64 now = clock.nsecsElapsed();
        maxGapNs = std::max(maxGapNs, now - lastTick);
        seconds = static_cast<double>(now) / 1e9;
        ticker.stop();
        QApplication::quit();
    });

    clock.start();
    ticker.start();
    QTimer::singleShot(0, [&] {
        lastTick = clock.nsecsElapsed();
        control<QPushButton>(window, "cmdCommandExecute")->click();
    });
    app.exec();

    std::printf("window_seconds=%.3f max_stall_ms=%.1f\n", seconds,
                static_cast<double>(maxGapNs) / 1e6);
    std::fprintf(stderr, "rows=%d panel1=%s\n", window.results().rowCount(),
                 qPrintable(window.panelText(1)));
    return 0;
}
