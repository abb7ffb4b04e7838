#include "about/folder_browse.h"
#include "platform/folder_picker.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <deque>
#include <sys/stat.h>

namespace orvane {
namespace {

using platform::FolderPick;

class ScriptedPicker final : public platform::FolderPicker
{
public:
    std::deque<FolderPick> answers;
    FolderPick pickFolder(QWidget *) override
    {
        FolderPick next = answers.front();
        answers.pop_front();
        return next;
    }
};

struct Browse : ::testing::Test
{
    QComboBox cboFilePath;
    ScriptedPicker picker;
    QStringList reported;

    Browse()
    {
        cboFilePath.setEditable(true);
        cboFilePath.setInsertPolicy(QComboBox::NoInsert);
    }
    void pick(FolderPick::Outcome outcome, const QString &path = {})
    {
        picker.answers.push_back({ outcome, path });
        BrowseForSearchPath(nullptr, &cboFilePath, picker,
                            [this](QWidget *, const QString &p) { reported.append(p); });
    }
    void pick(const QString &path) { pick(FolderPick::Outcome::Picked, path); }
    QStringList items() const
    {
        QStringList list;
        for (int i = 0; i < cboFilePath.count(); ++i)
            list.append(cboFilePath.itemText(i));
        return list;
    }
};

TEST_F(Browse, PicksBuildTheHistoryNewestFirst)
{
    pick(QStringLiteral("/a"));
    EXPECT_EQ(items(), QStringList { "/a" });
    EXPECT_EQ(cboFilePath.currentText(), QStringLiteral("/a"));
    pick(QStringLiteral("/b"));
    pick(QStringLiteral("/c"));
    pick(QStringLiteral("/b"));
    EXPECT_EQ(items(), (QStringList { "/b", "/c", "/a" }));
    EXPECT_EQ(cboFilePath.currentText(), QStringLiteral("/b"));
}

TEST_F(Browse, CancelKeepsTypedTextAndList)
{
    pick(QStringLiteral("/a"));
    cboFilePath.setEditText(QStringLiteral("/typed/by hand"));
    pick(FolderPick::Outcome::Cancelled);
    EXPECT_EQ(items(), QStringList { "/a" });
    EXPECT_EQ(cboFilePath.currentText(), QStringLiteral("/typed/by hand"));

    // The next pick replaces typed text, which never enters the list.
    pick(QStringLiteral("/b"));
    EXPECT_EQ(items(), (QStringList { "/b", "/a" }));
    EXPECT_EQ(cboFilePath.currentText(), QStringLiteral("/b"));
}

TEST_F(Browse, UnusableNameIsReportedNotUsed)
{
    pick(QStringLiteral("/a"));
    pick(FolderPick::Outcome::Unusable, QStringLiteral("/x\uFFFD"));
    EXPECT_EQ(reported, QStringList { "/x\uFFFD" });
    EXPECT_EQ(items(), QStringList { "/a" });
    EXPECT_EQ(cboFilePath.currentText(), QStringLiteral("/a"));
}

TEST(FolderPathUsable, OnlyNamesThatSurviveTheEncoding)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QByteArray base = QFile::encodeName(root.path());
    const QByteArray good = base + "/caf\xc3\xa9 folder";
    const QByteArray bad = base
        + "/bad\xff"
          "name";
    ASSERT_EQ(::mkdir(good.constData(), 0700), 0);
    ASSERT_EQ(::mkdir(bad.constData(), 0700), 0);

    // A picker hands back text: the bad byte arrives as a replacement character, and that
    // text names no folder (or, worse, could name another one).
    const QString badAsText = QFile::decodeName(bad);
    EXPECT_TRUE(badAsText.contains(QChar(0xFFFD)));
    EXPECT_FALSE(platform::FolderPathUsable(badAsText));
    EXPECT_EQ(platform::ClassifyPickedFolder(badAsText).outcome, FolderPick::Outcome::Unusable);

    EXPECT_TRUE(platform::FolderPathUsable(QFile::decodeName(good)));
    EXPECT_EQ(platform::ClassifyPickedFolder(QFile::decodeName(good)).outcome,
              FolderPick::Outcome::Picked);

    EXPECT_FALSE(platform::FolderPathUsable(root.path() + QStringLiteral("/missing")));
    // A lone surrogate has no UTF-8 form at all.
    EXPECT_FALSE(platform::FolderPathUsable(root.path() + QStringLiteral("/") + QChar(0xD800)));
    EXPECT_EQ(platform::ClassifyPickedFolder(QString()).outcome, FolderPick::Outcome::Cancelled);

    // Qt cannot list, and so cannot remove, a name it cannot decode.
    ::rmdir(bad.constData());
}

TEST(FolderPicker, DialogStartsAtTheTopWithItsTitle)
{
    std::unique_ptr<QFileDialog> dialog(platform::MakeFolderDialog(nullptr));
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Browsing is limited to: "));
    EXPECT_EQ(dialog->directory().absolutePath(), QStringLiteral("/"));
    EXPECT_EQ(dialog->fileMode(), QFileDialog::Directory);
}

} // namespace
} // namespace orvane
