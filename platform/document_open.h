#pragma once

// Opening a document with the program the desktop associates with its type.

#include <QString>

namespace orvane::platform {

// Starts the viewer and returns at once; nothing is waited for and no message is shown.
// When the desktop has no program for the file's type, a viewer known for that type is
// started directly (xchm for compiled HTML help).
void OpenDocument(const QString &path);

// The viewer started when the desktop has no association for mimeType; empty when none.
QString FallbackViewer(const QString &mimeType);

} // namespace orvane::platform
