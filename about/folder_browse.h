#pragma once

// The main window's Browse command: pick a folder, put it at the top of the path history and
// into the path box.

#include <QString>

#include <functional>

class QComboBox;
class QWidget;

namespace orvane {

namespace platform {
class FolderPicker;
}

// Shown when the picked folder's name cannot be held as text; the default is a message box.
using UnusablePathReport = std::function<void(QWidget *owner, const QString &path)>;

// Cancel changes nothing; a pick goes to the top of cboFilePath's list (an earlier equal item
// removed) and becomes its text. Returns when the picker has closed.
void BrowseForSearchPath(QWidget *owner, QComboBox *cboFilePath, platform::FolderPicker &picker,
                         const UnusablePathReport &report = {});

// The message shown for a folder whose name cannot be used.
QString UnusablePathMessage(const QString &path);

} // namespace orvane
