#include "about/folder_browse.h"

#include "about/app_identity.h"
#include "mainwindow/path_history.h"
#include "platform/folder_picker.h"

#include <QComboBox>
#include <QMessageBox>

namespace orvane {

QString UnusablePathMessage(const QString &path)
{
    return QStringLiteral("The folder \"%1\" cannot be used: its name is not valid text in the "
                          "file system's encoding (UTF-8), so a search would go to a different "
                          "folder or none. Rename the folder, or pick another one.")
        .arg(path);
}

void BrowseForSearchPath(QWidget *owner, QComboBox *cboFilePath, platform::FolderPicker &picker,
                         const UnusablePathReport &report)
{
    const platform::FolderPick pick = picker.pickFolder(owner);
    switch (pick.outcome) {
    case platform::FolderPick::Outcome::Cancelled:
        return;
    case platform::FolderPick::Outcome::Unusable:
        if (report)
            report(owner, pick.path);
        else
            QMessageBox::warning(owner, ApplicationTitle(), UnusablePathMessage(pick.path));
        return;
    case platform::FolderPick::Outcome::Picked:
        break;
    }

    QStringList items;
    for (int i = 0; i < cboFilePath->count(); ++i)
        items.append(cboFilePath->itemText(i));
    const int removed = UpdatePathHistory(items, pick.path);
    cboFilePath->insertItem(0, pick.path);
    if (removed >= 0)
        cboFilePath->removeItem(removed);
    cboFilePath->setEditText(pick.path);
}

} // namespace orvane
