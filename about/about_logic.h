#pragma once

// The arithmetic and texts behind Help > Content and the About dialog, kept free of widgets so
// they can be checked on their own.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

namespace orvane {

// Window geometry is designed in twips: 1440 to the inch, 15 to a pixel at 96 dpi.
inline constexpr int kTwipsPerPixel = 15;

struct TwipsPoint
{
    float left = 0;
    float top = 0;
};

// Where the About dialog's outer frame goes on a screen, all in twips: centred across, its top
// a third of the way down the free height. A screen smaller than the dialog gives negative
// values, which are kept: the dialog is then cut off rather than moved.
TwipsPoint AboutPlacement(float screenWidth, float screenHeight, float dialogWidth,
                          float dialogHeight);
// The same in pixels: the screen's whole geometry and the dialog's outer size go in, the
// frame's top-left corner in global coordinates comes out.
QPoint AboutPlacementPixels(const QRect &screenGeometry, const QSize &dialogOuterSize);

// "关于 " and the application title.
QString AboutCaption(const QString &applicationTitle);
// "Ver major.minor.revision", plain decimal numbers.
QString VersionLine(int major, int minor, int revision);

// The help file beside the program: the folder as given, then "/help.chm". Nothing is
// normalised, so a folder that already ends in a separator keeps both.
QString HelpFilePath(const QString &programFolder);

} // namespace orvane
