#pragma once

// The folder picker behind the main window's Browse button.

#include <QString>

class QFileDialog;
class QWidget;

namespace orvane::platform {

inline constexpr char kBrowseTitle[] = "Browsing is limited to: ";

struct FolderPick
{
    enum class Outcome {
        Cancelled,
        Picked,
        // The folder exists, but its name is not valid text in the file system's encoding:
        // the path as text would name a different folder (or none), so it must not be used.
        Unusable,
    };
    Outcome outcome = Outcome::Cancelled;
    QString path;
};

class FolderPicker
{
public:
    virtual ~FolderPicker() = default;
    // Shows a picker modal to owner and returns when it has closed.
    virtual FolderPick pickFolder(QWidget *owner) = 0;
};

// Qt's folder dialog, titled kBrowseTitle, opening at the top of the file system.
class DialogFolderPicker final : public FolderPicker
{
public:
    FolderPick pickFolder(QWidget *owner) override;
};

// The dialog DialogFolderPicker shows, not yet opened (also used for screenshots).
QFileDialog *MakeFolderDialog(QWidget *owner);

// True when path, turned into file-system bytes, turns back into the same text and names an
// existing folder. A name with bytes that are not valid UTF-8 reaches Qt with replacement
// characters and fails here instead of silently becoming another path.
bool FolderPathUsable(const QString &path);

// Classifies what a picker dialog gave back: empty means cancelled.
FolderPick ClassifyPickedFolder(const QString &pickedPath);

} // namespace orvane::platform
