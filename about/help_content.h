#pragma once

// Help > Content: opens help.chm from the program's folder with the desktop's viewer.

namespace orvane {

// Returns at once; a missing file or viewer is left to the desktop to report.
void OpenHelpContent();

} // namespace orvane
