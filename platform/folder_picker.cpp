#include "platform/folder_picker.h"

#include <QFile>
#include <QFileDialog>

#include <sys/stat.h>

namespace orvane::platform {

QFileDialog *MakeFolderDialog(QWidget *owner)
{
    // Always the top of the file system, whatever the path box holds.
    auto *dialog = new QFileDialog(owner, QString::fromLatin1(kBrowseTitle), QStringLiteral("/"));
    dialog->setObjectName(QStringLiteral("folderPicker"));
    dialog->setFileMode(QFileDialog::Directory);
    dialog->setOption(QFileDialog::ShowDirsOnly, true);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setWindowModality(Qt::WindowModal);
    return dialog;
}

FolderPick DialogFolderPicker::pickFolder(QWidget *owner)
{
    QFileDialog *dialog = MakeFolderDialog(owner);
    QString picked;
    if (dialog->exec() == QDialog::Accepted && !dialog->selectedFiles().isEmpty())
        picked = dialog->selectedFiles().constFirst();
    delete dialog;
    return ClassifyPickedFolder(picked);
}

bool FolderPathUsable(const QString &path)
{
    const QByteArray bytes = QFile::encodeName(path);
    if (bytes.isEmpty() || QFile::decodeName(bytes) != path)
        return false;
    struct stat facts
    {
    };
    return ::stat(bytes.constData(), &facts) == 0 && S_ISDIR(facts.st_mode);
}

FolderPick ClassifyPickedFolder(const QString &pickedPath)
{
    if (pickedPath.isEmpty())
        return { FolderPick::Outcome::Cancelled, QString() };
    if (!FolderPathUsable(pickedPath))
        return { FolderPick::Outcome::Unusable, pickedPath };
    return { FolderPick::Outcome::Picked, pickedPath };
}

} // namespace orvane::platform
