#pragma once

// The program's one window: the run's settings, the six actions, Execute / Stop / Clear, the
// results list and the status bar. The walk runs on a worker thread so the window never
// freezes; its progress comes back through a ProgressBuffer.

#include "mainwindow/window_layout.h"
#include "platform/file_facts.h"
#include "run/batch_run.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QTimer>

#include <array>
#include <memory>
#include <thread>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTableView;

namespace orvane {

namespace platform {
class FolderPicker;
}

class ProgressBuffer;
class ResultsModel;

class frmMain final : public QMainWindow
{
    Q_OBJECT

public:
    // facts: where type and date texts come from; the desktop's (QtFileFacts) when null.
    explicit frmMain(std::unique_ptr<platform::FileFacts> facts = nullptr,
                     QWidget *parent = nullptr);
    ~frmMain() override;

    bool isRunning() const { return m_worker.joinable(); }
    const ResultsModel &results() const { return *m_model; }
    // Status panels 1 to 4.
    QString panelText(int panel) const;
    ArrangedGeometry arrangedGeometry() const { return m_geometry; }
    // Browse asks this picker; the desktop's folder dialog unless replaced (tests).
    void setFolderPicker(std::unique_ptr<platform::FolderPicker> picker);

signals:
    // The walk of a run has returned and the window shows its final texts.
    void runFinished();

public slots:
    void cmdCommandExecute_Click();
    void cmdCommandStop_Click();
    void cmdCommandClear_Click();
    void cmdFileBrowse_Click();
    void mnuExit_Click();
    void mnuContent_Click();
    void mnuAbout_Click();
    void optAction1_Click();
    void optAction2_Click();
    void optAction3_Click();
    void optAction4_Click();
    void optAction5_Click();
    void optAction6_Click();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createControls();
    void createMenus();
    void createStatusBar();
    void Form_Load();
    void Form_Resize();
    void applyGeometry();
    void setReplaceBoxes(bool replaceEnabled, int replaceHeightTwips, bool endVisible);
    ActionKind selectedAction() const;
    RunSettings settingsFromControls() const;

    void progressPosted();
    void drainProgress();
    void walkReturned(quint64 runId);
    void stopAndWait();
    void reportFailures(const std::vector<RunFailure> &failures);

    std::unique_ptr<platform::FileFacts> m_facts;
    std::unique_ptr<platform::FolderPicker> m_folderPicker;
    RunState m_state;
    std::shared_ptr<ProgressBuffer> m_progress;
    std::thread m_worker;
    QTimer m_drainTimer;
    QElapsedTimer m_sinceDrain;
    quint64 m_runId = 0;
    int m_replaceHeightTwips = 2055;
    bool m_closing = false;
    ArrangedGeometry m_geometry;

    QWidget *m_central = nullptr;
    QWidget *fraFile = nullptr;
    QLabel *Label3 = nullptr;
    QComboBox *cboFileMask = nullptr;
    QLabel *Label2 = nullptr;
    QComboBox *cboFilePath = nullptr;
    QPushButton *cmdFileBrowse = nullptr;
    QCheckBox *chkFileSubfolder = nullptr;
    QWidget *fraContent = nullptr;
    QLabel *Label5 = nullptr;
    QPlainTextEdit *txtFind = nullptr;
    QLabel *Label6 = nullptr;
    std::array<QRadioButton *, 6> optAction {};
    QLabel *Label16 = nullptr;
    QLabel *Label7 = nullptr;
    QPlainTextEdit *txtReplace = nullptr;
    QLabel *Label8 = nullptr;
    QPlainTextEdit *txtEnd = nullptr;
    QWidget *fraCommand = nullptr;
    QPushButton *cmdCommandExecute = nullptr;
    QPushButton *cmdCommandStop = nullptr;
    QPushButton *cmdCommandClear = nullptr;
    QTableView *lstLog = nullptr;
    ResultsModel *m_model = nullptr;
    std::array<QLabel *, 4> m_panels {};
    QWidget *m_panelStrip = nullptr;
    QMenu *mnuFile = nullptr;
    QAction *mnuExit = nullptr;
    QMenu *mnuHelp = nullptr;
    QAction *mnuContent = nullptr;
    QAction *mnuAbout = nullptr;
};

} // namespace orvane
