#include "platform/document_open.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMimeDatabase>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace orvane::platform {

namespace {

void openWithDesktop(const QString &path)
{
    // A path with a leading "//" would be read as a network share by QUrl; it is a plain
    // local path on this system, so hand it over as a path.
    if (path.startsWith(QLatin1String("//"))) {
        QProcess::startDetached(QStringLiteral("xdg-open"), { path });
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool startViewer(const QString &viewer, const QString &path)
{
    const QString program = QStandardPaths::findExecutable(viewer);
    return !program.isEmpty() && QProcess::startDetached(program, { path });
}

} // namespace

QString FallbackViewer(const QString &mimeType)
{
    if (mimeType == QLatin1String("application/vnd.ms-htmlhelp")
        || mimeType == QLatin1String("application/x-chm"))
        return QStringLiteral("xchm");
    return QString();
}

void OpenDocument(const QString &path)
{
    const QString mimeType
        = QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name();
    const QString viewer = FallbackViewer(mimeType);
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (viewer.isEmpty() || xdgMime.isEmpty()) {
        openWithDesktop(path);
        return;
    }
    // A fresh system may know the type but have no program registered for it, and then
    // xdg-open gives up without a word. Ask first, without blocking the window.
    auto *query = new QProcess(QCoreApplication::instance());
    QObject::connect(query, &QProcess::finished, query, [query, path, viewer] {
        const bool associated = query->exitStatus() == QProcess::NormalExit
            && query->exitCode() == 0 && !query->readAllStandardOutput().trimmed().isEmpty();
        query->deleteLater();
        if (associated || !startViewer(viewer, path))
            openWithDesktop(path);
    });
    QObject::connect(query, &QProcess::errorOccurred, query,
                     [query, path](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return;
                         query->deleteLater();
                         openWithDesktop(path);
                     });
    query->start(xdgMime, { QStringLiteral("query"), QStringLiteral("default"), mimeType });
}

} // namespace orvane::platform
