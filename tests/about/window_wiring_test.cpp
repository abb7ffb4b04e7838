// Browse and Help > About as the main window runs them.

#include "about/about_dialog.h"
#include "mainwindow/main_window.h"
#include "platform/folder_picker.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <deque>

namespace orvane {
namespace {

using platform::FolderPick;

class ScriptedPicker final : public platform::FolderPicker
{
public:
    explicit ScriptedPicker(std::deque<FolderPick> *answers)
        : m_answers(answers)
    {
    }
    FolderPick pickFolder(QWidget *) override
    {
        FolderPick next = m_answers->front();
        m_answers->pop_front();
        return next;
    }

private:
    std::deque<FolderPick> *m_answers;
};

QStringList itemsOf(const QComboBox *combo)
{
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    return items;
}

TEST(WindowBrowse, PicksFillTheHistoryTypedTextNeverDoes)
{
    std::deque<FolderPick> answers;
    frmMain window;
    window.setFolderPicker(std::make_unique<ScriptedPicker>(&answers));
    window.show();
    auto *combo = window.findChild<QComboBox *>(QStringLiteral("cboFilePath"));
    auto *browse = window.findChild<QPushButton *>(QStringLiteral("cmdFileBrowse"));
    ASSERT_TRUE(combo && browse);
    EXPECT_EQ(combo->count(), 0);

    // Typed text, confirmed with Enter, stays out of the list; Cancel leaves it as typed.
    combo->setFocus();
    QTest::keyClicks(combo->lineEdit(), QStringLiteral("/typed"));
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    answers.push_back({ FolderPick::Outcome::Cancelled, {} });
    QTest::mouseClick(browse, Qt::LeftButton);
    EXPECT_EQ(combo->count(), 0);
    EXPECT_EQ(combo->currentText(), QStringLiteral("/typed"));

    for (const char *path : { "/a", "/b", "/c", "/b" }) {
        answers.push_back({ FolderPick::Outcome::Picked, QString::fromLatin1(path) });
        QTest::mouseClick(browse, Qt::LeftButton);
    }
    EXPECT_EQ(itemsOf(combo), (QStringList { "/b", "/c", "/a" }));
    EXPECT_EQ(combo->currentText(), QStringLiteral("/b"));
    EXPECT_TRUE(answers.empty());
}

TEST(WindowAbout, MenuShowsTheDialogModallyOverTheWindow)
{
    frmMain window;
    window.show();
    auto *about = window.findChild<QAction *>(QStringLiteral("mnuAbout"));
    ASSERT_TRUE(about);

    for (int opening = 0; opening < 2; ++opening) {
        QString seenTitle;
        QWidget *seenParent = nullptr;
        QTimer::singleShot(0, [&] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal)
                return;
            seenTitle = modal->windowTitle();
            seenParent = modal->parentWidget();
            QTest::keyClick(modal, Qt::Key_Escape);
        });
        about->trigger(); // returns once the dialog has closed
        EXPECT_EQ(seenTitle, QStringLiteral("关于 Orvane Replace"));
        EXPECT_EQ(seenParent, &window);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }
}

} // namespace
} // namespace orvane
