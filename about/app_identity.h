#pragma once

// Who the program says it is: title, version and icon, set once on the application object.

#include <QIcon>
#include <QString>

class QApplication;

namespace orvane {

inline constexpr char kApplicationTitle[] = "Orvane Replace";

// Sets the application name (the title every window shows), the version from the build and
// the program icon as the default icon of every window. Call once, right after the
// QApplication is made.
void SetUpApplication(QApplication &app);

// The 32 x 32 program icon, from the embedded pictures.
QIcon ProgramIcon();
// The application title, fixed for the build.
QString ApplicationTitle();
// Registers the embedded pictures (":/orvane/..."); safe to call any number of times.
void EnsureAboutResources();

} // namespace orvane
