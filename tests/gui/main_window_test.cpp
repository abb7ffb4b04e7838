// Drives the real window offscreen: controls found by object name, text typed into the boxes,
// buttons clicked, runs over temporary folders.

#include "mainwindow/main_window.h"
#include "mainwindow/results_model.h"
#include "platform/folder_picker.h"
#include "platform/qt_file_facts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;

namespace orvane {
namespace {

constexpr int kRunTimeoutMs = 15000;

// The desktop's facts, except that each listed file waits in typeDescription() until the test
// lets it pass: the walk has then written that file and not yet listed it.
class GatedFacts final : public platform::FileFacts
{
public:
    std::string typeDescription(const std::string &path) const override
    {
        std::unique_lock lock(m_mutex);
        ++m_calls;
        m_changed.wait(lock, [this] { return m_open || m_permits > 0; });
        if (!m_open)
            --m_permits;
        lock.unlock();
        return m_inner.typeDescription(path);
    }
    std::string shortDate(std::int64_t seconds) const override
    {
        return m_inner.shortDate(seconds);
    }
    std::string thousandsSeparator() const override { return m_inner.thousandsSeparator(); }

    void permit(int count)
    {
        std::lock_guard lock(m_mutex);
        m_permits += count;
        m_changed.notify_all();
    }
    void open()
    {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    int calls() const
    {
        std::lock_guard lock(m_mutex);
        return m_calls;
    }

private:
    platform::QtFileFacts m_inner;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    mutable int m_calls = 0;
    mutable int m_permits = 0;
    bool m_open = false;
};

class TempTree
{
public:
    TempTree()
    {
        std::string pattern = (fs::temp_directory_path() / "orvane-gui-XXXXXX").string();
        m_root = mkdtemp(pattern.data());
    }
    ~TempTree() { fs::remove_all(m_root); }
    fs::path write(const std::string &relative, const std::string &content) const
    {
        const fs::path path = m_root / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    std::string read(const std::string &relative) const
    {
        std::ifstream in(m_root / relative, std::ios::binary);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    const fs::path &root() const { return m_root; }

private:
    fs::path m_root;
};

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override { makeWindow(nullptr); }

    void TearDown() override
    {
        if (m_gate)
            m_gate->open();
        m_window.reset();
    }

    void makeWindow(std::unique_ptr<platform::FileFacts> facts)
    {
        m_window.reset();
        m_window = std::make_unique<frmMain>(std::move(facts));
        m_window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get()));
    }

    GatedFacts &useGatedWindow()
    {
        auto facts = std::make_unique<GatedFacts>();
        m_gate = facts.get();
        makeWindow(std::move(facts));
        return *m_gate;
    }

    template<class T> T *child(const char *name) const
    {
        T *found = m_window->findChild<T *>(QLatin1String(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    static void typeInto(QComboBox *combo, const QString &text)
    {
        combo->lineEdit()->selectAll();
        QTest::keyClick(combo->lineEdit(), Qt::Key_Delete);
        QTest::keyClicks(combo->lineEdit(), text);
    }
    static void typeInto(QPlainTextEdit *box, const QString &text)
    {
        box->selectAll();
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }
    void click(const char *button)
    {
        QTest::mouseClick(child<QPushButton>(button), Qt::LeftButton);
    }

    void enterRun(const QString &mask, const fs::path &path, const QString &find,
                  const QString &replacement)
    {
        typeInto(child<QComboBox>("cboFileMask"), mask);
        typeInto(child<QComboBox>("cboFilePath"), QString::fromStdString(path.string()));
        typeInto(child<QPlainTextEdit>("txtFind"), find);
        typeInto(child<QPlainTextEdit>("txtReplace"), replacement);
    }

    bool waitForRunEnd(QSignalSpy &finished)
    {
        return finished.count() > 0 || finished.wait(kRunTimeoutMs);
    }

    int rows() const { return m_window->results().rowCount(); }

    // Clicks OK on the modal box that the next action opens; returns its texts.
    struct SeenBox
    {
        QString text, title;
        QMessageBox::StandardButtons buttons;
        QMessageBox::Icon icon = QMessageBox::Warning;
        bool seen = false;
    };
    void dismissNextModalBox(SeenBox &seen)
    {
        QTimer::singleShot(0, [&seen] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            seen = { box->text(), box->windowTitle(), box->standardButtons(), box->icon(), true };
            box->button(QMessageBox::Ok)->click();
        });
    }

    std::unique_ptr<frmMain> m_window;
    GatedFacts *m_gate = nullptr;
};

TEST_F(WindowTest, StartsWithTheDefaults)
{
    EXPECT_EQ(m_window->windowTitle(), QStringLiteral("Orvane Replace"));

    auto *mask = child<QComboBox>("cboFileMask");
    EXPECT_TRUE(mask->isEditable());
    EXPECT_EQ(mask->currentText(), QStringLiteral("*.htm,*.html,*.asp,*.txt"));
    const QStringList presets
        = { "*.htm,*.html,*.asp,*.txt", "*.htm,*.html,*.asp", "*.txt", "*.*" };
    ASSERT_EQ(mask->count(), presets.size());
    for (int i = 0; i < mask->count(); ++i)
        EXPECT_EQ(mask->itemText(i), presets[i]);

    auto *path = child<QComboBox>("cboFilePath");
    EXPECT_TRUE(path->isEditable());
    EXPECT_TRUE(path->currentText().isEmpty());
    EXPECT_EQ(path->count(), 0);
    EXPECT_TRUE(child<QCheckBox>("chkFileSubfolder")->isChecked());
    EXPECT_TRUE(child<QRadioButton>("optAction1")->isChecked());
    EXPECT_FALSE(child<QPushButton>("cmdCommandStop")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("cmdCommandExecute")->isEnabled());
    EXPECT_TRUE(child<QPushButton>("cmdCommandClear")->isEnabled());

    auto *replace = child<QPlainTextEdit>("txtReplace");
    EXPECT_TRUE(replace->isEnabled());
    EXPECT_EQ(replace->height(), TwipsToPixels(2640 + 2055) - TwipsToPixels(2640));
    EXPECT_FALSE(child<QPlainTextEdit>("txtEnd")->isVisible());
    // "Ending With" lies under the tall replace box.
    auto *endLabel = child<QLabel>("Label8");
    QWidget *top = endLabel->parentWidget()->childAt(endLabel->geometry().center());
    EXPECT_TRUE(top == replace || replace->isAncestorOf(top));

    // Captions and access keys as designed.
    const std::pair<const char *, const char *> captions[] = {
        { "cmdFileBrowse", "&Browse..." },
        { "cmdCommandExecute", "&Execute" },
        { "cmdCommandStop", "&Stop" },
        { "cmdCommandClear", "&Clear" },
    };
    for (const auto &[name, caption] : captions)
        EXPECT_EQ(child<QPushButton>(name)->text(), QLatin1String(caption)) << name;
    const std::pair<const char *, const char *> options[] = {
        { "optAction1", "Replace With" }, { "optAction2", "Before" }, { "optAction3", "After" },
        { "optAction4", "Between)" },     { "optAction5", "Delete" }, { "optAction6", "Just Find" },
    };
    for (const auto &[name, caption] : options)
        EXPECT_EQ(child<QRadioButton>(name)->text(), QLatin1String(caption)) << name;
    EXPECT_EQ(child<QLabel>("Label16")->text(), QStringLiteral("Insert("));
    EXPECT_TRUE(child<QLabel>("Label6")->font().bold());

    auto *menuFile = child<QMenu>("mnuFile");
    auto *menuHelp = child<QMenu>("mnuHelp");
    EXPECT_EQ(menuFile->title(), QStringLiteral("&File"));
    EXPECT_EQ(menuHelp->title(), QStringLiteral("&Help"));
    const QList<QAction *> helpItems = menuHelp->actions();
    ASSERT_EQ(helpItems.size(), 3);
    EXPECT_EQ(helpItems[0]->text(), QStringLiteral("&Content"));
    EXPECT_TRUE(helpItems[1]->isSeparator());
    EXPECT_EQ(helpItems[2]->text(), QStringLiteral("&About.."));
    EXPECT_EQ(child<QAction>("mnuExit")->text(), QStringLiteral("&Exit"));

    auto *list = child<QTableView>("lstLog");
    const QStringList headers = { "Name", "Path", "Size", "Type", "Date" };
    const int widths[] = { 1200, 3000, 1000, 1000, 1000 };
    ASSERT_EQ(list->model()->columnCount(), 5);
    for (int column = 0; column < 5; ++column) {
        EXPECT_EQ(list->model()->headerData(column, Qt::Horizontal).toString(), headers[column]);
        EXPECT_EQ(list->horizontalHeader()->sectionSize(column), TwipsToPixels(widths[column]));
    }
    EXPECT_FALSE(list->isSortingEnabled());
    for (int panel = 1; panel <= 4; ++panel)
        EXPECT_TRUE(m_window->panelText(panel).isEmpty());

    // The list runs down to the status bar and across the window, 2 px short of its edge.
    QWidget *central = m_window->centralWidget();
    EXPECT_EQ(list->geometry().bottom() + 1, central->height());
    EXPECT_EQ(list->geometry().right() + 1, central->width() - 2);
    EXPECT_EQ(central->height(), TwipsToPixels(kDesignClientHeight - kStatusBarDesignHeight));
}

TEST_F(WindowTest, OptionsReshapeTheBoxesAndKeepTheirTexts)
{
    struct OptionCase
    {
        const char *option;
        bool replaceEnabled;
        int replaceHeight;
        bool endVisible;
    };
    const OptionCase cases[] = {
        { "optAction4", true, 855, true },    { "optAction5", false, 2055, false },
        { "optAction1", true, 2055, false },  { "optAction2", true, 2055, false },
        { "optAction6", false, 2055, false }, { "optAction3", true, 2055, false },
        { "optAction4", true, 855, true },    { "optAction4", true, 855, true },
    };
    auto *replace = child<QPlainTextEdit>("txtReplace");
    auto *end = child<QPlainTextEdit>("txtEnd");
    replace->setPlainText(QStringLiteral("new words"));
    end->setPlainText(QStringLiteral("</b>"));
    const QPalette standard = QApplication::palette(replace);
    for (const OptionCase &c : cases) {
        SCOPED_TRACE(c.option);
        QTest::mouseClick(child<QRadioButton>(c.option), Qt::LeftButton);
        EXPECT_TRUE(child<QRadioButton>(c.option)->isChecked());
        EXPECT_EQ(replace->isEnabled(), c.replaceEnabled);
        EXPECT_EQ(replace->height(), TwipsToPixels(2640 + c.replaceHeight) - TwipsToPixels(2640));
        EXPECT_EQ(end->isVisible(), c.endVisible);
        const QColor expected
            = standard.color(c.replaceEnabled ? QPalette::Base : QPalette::Button);
        EXPECT_EQ(replace->palette().color(QPalette::Active, QPalette::Base), expected);
        EXPECT_EQ(replace->palette().color(QPalette::Disabled, QPalette::Base), expected);
        EXPECT_EQ(replace->toPlainText(), QStringLiteral("new words"));
        EXPECT_EQ(end->toPlainText(), QStringLiteral("</b>"));
    }
    // "Ending With" shows above the box it names while Between is selected.
    auto *endLabel = child<QLabel>("Label8");
    EXPECT_EQ(endLabel->parentWidget()->childAt(endLabel->geometry().center()), endLabel);
}

TEST_F(WindowTest, RefusesAnEmptyMaskOrPathAndChangesNothing)
{
    TempTree tree;
    tree.write("a.txt", "hello");
    struct ValidationCase
    {
        const char *name;
        QString mask, path, message;
    };
    const QString somePath = QString::fromStdString(tree.root().string());
    const ValidationCase cases[] = {
        { "no mask", "", somePath, "Please specify any mask!" },
        { "no path", "*.txt", "", "Please specify any path!" },
        { "neither", "", "", "Please specify any mask!" },
    };
    for (const ValidationCase &c : cases) {
        SCOPED_TRACE(c.name);
        typeInto(child<QComboBox>("cboFileMask"), c.mask);
        typeInto(child<QComboBox>("cboFilePath"), c.path);
        typeInto(child<QPlainTextEdit>("txtFind"), "hello");
        SeenBox seen;
        dismissNextModalBox(seen);
        click("cmdCommandExecute");
        ASSERT_TRUE(seen.seen);
        EXPECT_EQ(seen.text, c.message);
        EXPECT_EQ(seen.title, QStringLiteral("Message!"));
        EXPECT_EQ(seen.buttons, QMessageBox::Ok);
        EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
        EXPECT_TRUE(child<QPushButton>("cmdCommandExecute")->isEnabled());
        EXPECT_FALSE(child<QPushButton>("cmdCommandStop")->isEnabled());
        EXPECT_FALSE(m_window->isRunning());
    }
    EXPECT_EQ(tree.read("a.txt"), "hello");
    EXPECT_TRUE(m_window->panelText(1).isEmpty());
}

TEST_F(WindowTest, RunTypedIntoTheBoxesRewritesListsAndSummarises)
{
    TempTree tree;
    tree.write("a.txt", "say hello, hello");
    tree.write("b.txt", "nothing here");
    tree.write("page.htm", "hello page");
    tree.write("sub/c.txt", "hello again");
    QSignalSpy finished(m_window.get(), &frmMain::runFinished);

    enterRun("*.txt", tree.root(), "hello", "bye");
    click("cmdCommandExecute");
    ASSERT_TRUE(waitForRunEnd(finished));

    EXPECT_EQ(tree.read("a.txt"), "say bye, bye");
    EXPECT_EQ(tree.read("b.txt"), "nothing here");
    EXPECT_EQ(tree.read("page.htm"), "hello page");
    EXPECT_EQ(tree.read("sub/c.txt"), "bye again");

    // The folder's own files come before its subfolder's.
    ASSERT_EQ(rows(), 2);
    const ResultRow &first = m_window->results().row(0);
    const ResultRow &second = m_window->results().row(1);
    EXPECT_EQ(first.FileName, "a.txt");
    EXPECT_EQ(first.FolderPath, tree.root().string());
    EXPECT_EQ(first.SizeText, "1KB");
    EXPECT_FALSE(first.TypeText.empty());
    EXPECT_FALSE(first.DateText.empty());
    EXPECT_EQ(second.FileName, "c.txt");
    EXPECT_EQ(second.FolderPath, (tree.root() / "sub").string());
    auto *list = child<QTableView>("lstLog");
    EXPECT_EQ(list->model()->index(1, 0).data().toString(), QStringLiteral("c.txt"));

    EXPECT_EQ(m_window->panelText(1), QStringLiteral("Replaced 2 files in 3 files"));
    EXPECT_EQ(m_window->panelText(2), QStringLiteral("2"));
    EXPECT_TRUE(child<QPushButton>("cmdCommandExecute")->isEnabled());
    EXPECT_FALSE(child<QPushButton>("cmdCommandStop")->isEnabled());

    // Just Find lists without writing; the replace box's text is not used.
    QTest::mouseClick(child<QRadioButton>("optAction6"), Qt::LeftButton);
    typeInto(child<QPlainTextEdit>("txtFind"), "bye");
    finished.clear();
    click("cmdCommandExecute");
    ASSERT_TRUE(waitForRunEnd(finished));
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(m_window->panelText(1), QStringLiteral("Found 2 files in 3 files"));
    EXPECT_EQ(tree.read("a.txt"), "say bye, bye");
}

TEST_F(WindowTest, TypedTextIsSearchedExactlyAsTyped)
{
    TempTree tree;
    tree.write("nbsp.txt", "one\xc2\xa0two\nthree");
    tree.write("space.txt", "one two\nthree");
    tree.write("crlf.txt", "one\xc2\xa0two\r\nthree");
    QSignalSpy finished(m_window.get(), &frmMain::runFinished);
    QTest::mouseClick(child<QRadioButton>("optAction6"), Qt::LeftButton);
    enterRun("*.txt", tree.root(), QStringLiteral("one\u00a0two"), QString());
    // Enter in the box is a line feed, as in the files of this system.
    QTest::keyClick(child<QPlainTextEdit>("txtFind"), Qt::Key_Return);
    QTest::keyClicks(child<QPlainTextEdit>("txtFind"), QStringLiteral("three"));
    click("cmdCommandExecute");
    ASSERT_TRUE(waitForRunEnd(finished));
    ASSERT_EQ(rows(), 1);
    EXPECT_EQ(m_window->results().row(0).FileName, "nbsp.txt");
}

TEST_F(WindowTest, StopEndsTheRunAfterTheFileInHand)
{
    GatedFacts &gate = useGatedWindow();
    TempTree tree;
    for (int i = 0; i < 20; ++i)
        tree.write("f" + std::to_string(i) + ".txt", "x");
    QSignalSpy finished(m_window.get(), &frmMain::runFinished);
    enterRun("*.txt", tree.root(), "x", "y");

    gate.permit(2);
    click("cmdCommandExecute");
    // The third file is written and waits to be listed.
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.calls() == 3; }, kRunTimeoutMs));
    EXPECT_TRUE(QTest::qWaitFor([&] { return rows() == 2; }, kRunTimeoutMs));
    click("cmdCommandStop");
    EXPECT_FALSE(child<QPushButton>("cmdCommandStop")->isEnabled());
    // Execute waits for the walk to return, so no second walk can start beside it.
    EXPECT_FALSE(child<QPushButton>("cmdCommandExecute")->isEnabled());
    gate.open();
    ASSERT_TRUE(waitForRunEnd(finished));
    EXPECT_TRUE(child<QPushButton>("cmdCommandExecute")->isEnabled());

    int changed = 0;
    for (int i = 0; i < 20; ++i)
        changed += tree.read("f" + std::to_string(i) + ".txt") == "y";
    EXPECT_EQ(changed, 3);
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(m_window->panelText(2), QStringLiteral("3"));
}

TEST_F(WindowTest, ClearDuringARunEmptiesListAndPanelsAndLaterRowsStillArrive)
{
    GatedFacts &gate = useGatedWindow();
    TempTree tree;
    for (int i = 0; i < 10; ++i)
        tree.write("f" + std::to_string(i) + ".txt", "x");
    QSignalSpy finished(m_window.get(), &frmMain::runFinished);
    enterRun("*.txt", tree.root(), "x", "y");

    gate.permit(2);
    click("cmdCommandExecute");
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.calls() == 3 && rows() == 2; }, kRunTimeoutMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_window->panelText(1).isEmpty(); }, kRunTimeoutMs));
    // Let the third file be listed while the window handles no events, so its row and panel
    // texts are still on their way when Clear is clicked.
    gate.permit(1);
    for (int waited = 0; gate.calls() < 4 && waited < kRunTimeoutMs; waited += 5)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(gate.calls(), 4);
    child<QPushButton>("cmdCommandClear")->click();
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(m_window->panelText(1).isEmpty());
    EXPECT_TRUE(m_window->panelText(2).isEmpty());
    // What was reported before the click does not come back with the next update.
    QTest::qWait(250);
    EXPECT_EQ(rows(), 0);
    EXPECT_TRUE(m_window->panelText(1).isEmpty());

    gate.open();
    ASSERT_TRUE(waitForRunEnd(finished));
    EXPECT_EQ(rows(), 7);
    EXPECT_EQ(m_window->panelText(1), QStringLiteral("Replaced 10 files in 10 files"));
    EXPECT_EQ(m_window->panelText(2), QStringLiteral("10"));
}

TEST_F(WindowTest, ClosingDuringARunStopsItAndWaitsForTheFileInHand)
{
    GatedFacts &gate = useGatedWindow();
    TempTree tree;
    for (int i = 0; i < 10; ++i)
        tree.write("f" + std::to_string(i) + ".txt", "x");
    enterRun("*.txt", tree.root(), "x", "y");

    gate.permit(1);
    click("cmdCommandExecute");
    ASSERT_TRUE(QTest::qWaitFor([&] { return gate.calls() == 2; }, kRunTimeoutMs));
    // The file in hand is let go only after the close has begun waiting for it.
    std::thread release([&gate] {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        gate.open();
    });
    child<QAction>("mnuExit")->trigger();
    release.join();
    EXPECT_FALSE(m_window->isVisible());
    EXPECT_FALSE(m_window->isRunning());
    int changed = 0;
    for (int i = 0; i < 10; ++i)
        changed += tree.read("f" + std::to_string(i) + ".txt") == "y";
    EXPECT_EQ(changed, 2);
}

TEST_F(WindowTest, FailuresAreReportedOnceWithTheirDetails)
{
    TempTree tree;
    const fs::path missing = tree.root() / "no such folder";
    QSignalSpy finished(m_window.get(), &frmMain::runFinished);
    enterRun("*.txt", missing, "x", "y");
    click("cmdCommandExecute");
    ASSERT_TRUE(waitForRunEnd(finished));

    const QList<QMessageBox *> boxes = m_window->findChildren<QMessageBox *>("runFailures");
    ASSERT_EQ(boxes.size(), 1);
    QMessageBox *box = boxes.front();
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(box->text().contains(QStringLiteral("1 file")));
    EXPECT_TRUE(box->detailedText().contains(QString::fromStdString(missing.string())));
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(child<QPushButton>("cmdCommandExecute")->isEnabled());
}

TEST_F(WindowTest, BrowseAndAboutOpenFromTheWindow)
{
    class FixedPicker final : public platform::FolderPicker
    {
    public:
        platform::FolderPick pickFolder(QWidget *owner) override
        {
            owner_ = owner;
            return { platform::FolderPick::Outcome::Picked, QStringLiteral("/srv/www") };
        }
        QWidget *owner_ = nullptr;
    };
    auto picker = std::make_unique<FixedPicker>();
    FixedPicker *seen = picker.get();
    m_window->setFolderPicker(std::move(picker));
    click("cmdFileBrowse");
    EXPECT_EQ(seen->owner_, m_window.get());
    auto *path = child<QComboBox>("cboFilePath");
    EXPECT_EQ(path->currentText(), QStringLiteral("/srv/www"));
    ASSERT_EQ(path->count(), 1);

    QString aboutTitle;
    QTimer::singleShot(0, [&aboutTitle] {
        if (QWidget *dialog = QApplication::activeModalWidget()) {
            aboutTitle = dialog->windowTitle();
            dialog->close();
        }
    });
    child<QAction>("mnuAbout")->trigger();
    EXPECT_TRUE(aboutTitle.endsWith(QStringLiteral("Orvane Replace"))) << aboutTitle.toStdString();
}

TEST_F(WindowTest, ResizingArrangesTheControls)
{
    QWidget *central = m_window->centralWidget();
    const auto expectArranged = [&] {
        const OuterSize outer
            = OuterSizeFromCentral(central->width() * 15.0f, central->height() * 15.0f);
        EXPECT_EQ(m_window->arrangedGeometry(),
                  ArrangeControls(outer.width, outer.height, m_window->arrangedGeometry()));
    };

    m_window->resize(900, m_window->height() + 150);
    ASSERT_TRUE(QTest::qWaitFor([&] { return central->width() == 900; }, 2000));
    expectArranged();
    const ArrangedGeometry wide = m_window->arrangedGeometry();
    EXPECT_EQ(child<QWidget>("fraFile")->width(), TwipsToPixels(900 * 15 + 120 - 150));
    EXPECT_EQ(child<QWidget>("fraCommand")->geometry().right() + 1, 900 - 2);
    EXPECT_EQ(child<QPushButton>("cmdFileBrowse")->x(), TwipsToPixels(900 * 15 + 120 - 1845));
    auto *list = child<QTableView>("lstLog");
    EXPECT_EQ(list->geometry().bottom() + 1, central->height());
    EXPECT_EQ(list->width(), 900 - 2);
    // Status panel 1 takes the outer width less 2880 twips (less the gap between panels).
    auto *panel1 = child<QLabel>("StatusBar1Panel1");
    EXPECT_EQ(panel1->width(), TwipsToPixels(900 * 15 + 120 - 2880) - 2);

    // Narrower than 4950 twips: the upper controls keep their places, list and panel follow.
    m_window->resize(300, m_window->height());
    ASSERT_TRUE(QTest::qWaitFor([&] { return central->width() == 300; }, 2000));
    expectArranged();
    EXPECT_EQ(m_window->arrangedGeometry().fraFileWidth, wide.fraFileWidth);
    EXPECT_EQ(child<QWidget>("fraFile")->width(), TwipsToPixels(wide.fraFileWidth));
    EXPECT_EQ(list->width(), 300 - 2);
    EXPECT_EQ(panel1->width(), TwipsToPixels(300 * 15 + 120 - 2880) - 2);
}

} // namespace
} // namespace orvane
