#include "about/about_logic.h"

#include <cmath>

namespace orvane {

TwipsPoint AboutPlacement(float screenWidth, float screenHeight, float dialogWidth,
                          float dialogHeight)
{
    return { (screenWidth - dialogWidth) / 2.0f, (screenHeight - dialogHeight) / 3.0f };
}

QPoint AboutPlacementPixels(const QRect &screenGeometry, const QSize &dialogOuterSize)
{
    const float t = kTwipsPerPixel;
    const TwipsPoint at = AboutPlacement(screenGeometry.width() * t, screenGeometry.height() * t,
                                         dialogOuterSize.width() * t, dialogOuterSize.height() * t);
    return screenGeometry.topLeft()
        + QPoint(int(std::lround(at.left / t)), int(std::lround(at.top / t)));
}

QString AboutCaption(const QString &applicationTitle)
{
    return QStringLiteral("关于 ") + applicationTitle;
}

QString VersionLine(int major, int minor, int revision)
{
    return QStringLiteral("Ver %1.%2.%3").arg(major).arg(minor).arg(revision);
}

QString HelpFilePath(const QString &programFolder)
{
    return programFolder + QStringLiteral("/help.chm");
}

} // namespace orvane
