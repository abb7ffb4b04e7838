#include "about/app_identity.h"

#include "about/app_version.h"

#include <QApplication>

// Resources of a static library must be registered by name, from the global namespace.
static void initAboutResources()
{
    Q_INIT_RESOURCE(about);
}

namespace orvane {

void EnsureAboutResources()
{
    static const bool once = (initAboutResources(), true);
    (void)once;
}

void SetUpApplication(QApplication &app)
{
    EnsureAboutResources();
    QApplication::setApplicationName(QString::fromUtf8(kApplicationTitle));
    QApplication::setApplicationVersion(QString::fromLatin1(kVersionText));
    app.setWindowIcon(ProgramIcon());
}

QIcon ProgramIcon()
{
    EnsureAboutResources();
    return QIcon(QStringLiteral(":/orvane/icon.png"));
}

QString ApplicationTitle()
{
    return QString::fromUtf8(kApplicationTitle);
}

} // namespace orvane
