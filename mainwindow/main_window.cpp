#include "mainwindow/main_window.h"

#include "about/about_dialog.h"
#include "about/app_identity.h"
#include "about/folder_browse.h"
#include "about/help_content.h"
#include "mainwindow/progress_buffer.h"
#include "mainwindow/results_model.h"
#include "platform/folder_picker.h"
#include "platform/qt_file_facts.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTableView>
#include <QTextDocument>

namespace orvane {

namespace {

// Progress reaches the window at most this often; each time costs one list insertion and two
// label updates, whatever the number of files visited meanwhile.
constexpr int kDrainIntervalMs = 100;

// Status panels 2 to 4 share what panel 1 leaves of the width (2880 twips less the frame).
constexpr int kPanelWidthsTwips[4] = { 0, 1200, 720, 720 };
constexpr int kPanelGapPx = 2;

// Converts a designed rectangle to pixels by its edges, so neighbours that meet in twips still
// meet in pixels.
QRect twipsRect(double left, double top, double width, double height)
{
    const int x = TwipsToPixels(left);
    const int y = TwipsToPixels(top);
    return QRect(x, y, std::max(0, TwipsToPixels(left + width) - x),
                 std::max(0, TwipsToPixels(top + height) - y));
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The box's text as typed. QPlainTextEdit::toPlainText() would turn no-break spaces into
// plain spaces, which would change what is searched for.
std::string typedText(const QPlainTextEdit *box)
{
    QString text = box->document()->toRawText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text.toStdString();
}

QComboBox *makeCombo(QWidget *parent, const char *name)
{
    auto *combo = new QComboBox(parent);
    combo->setObjectName(QLatin1String(name));
    combo->setEditable(true);
    // Typed text is used as typed: no inline completion from the list (it would silently add
    // the rest of a matching entry) and nothing typed is added to the list.
    combo->setCompleter(nullptr);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setMaxVisibleItems(12);
    return combo;
}

QPlainTextEdit *makeTextBox(QWidget *parent, const char *name)
{
    auto *box = new QPlainTextEdit(parent);
    box->setObjectName(QLatin1String(name));
    box->setLineWrapMode(QPlainTextEdit::NoWrap);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Tab moves on to the next control, as in every dialog-like form; the texts searched for
    // rarely hold tabs, and a pasted tab is kept.
    box->setTabChangesFocus(true);
    return box;
}

QLabel *makeLabel(QWidget *parent, const char *name, const char *text)
{
    auto *label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return label;
}

QPushButton *makeButton(QWidget *parent, const char *name, const char *caption)
{
    auto *button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    return button;
}

// A frame without caption, as the designed groups are.
QWidget *makeFrame(QWidget *parent, const char *name)
{
    auto *frame = new QGroupBox(parent);
    frame->setObjectName(QLatin1String(name));
    frame->setFlat(false);
    return frame;
}

} // namespace

frmMain::frmMain(std::unique_ptr<platform::FileFacts> facts, QWidget *parent)
    : QMainWindow(parent)
    , m_facts(facts ? std::move(facts) : std::make_unique<platform::QtFileFacts>())
    , m_folderPicker(std::make_unique<platform::DialogFolderPicker>())
{
    setObjectName(QStringLiteral("frmMain"));
    // The controls are placed by design in twips; a desktop font of 11 points or more would
    // not fit them, so the window keeps to the designed 8 points of the desktop's sans font.
    QFont windowFont = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    windowFont.setPointSizeF(8);
    setFont(windowFont);

    m_drainTimer.setSingleShot(true);
    connect(&m_drainTimer, &QTimer::timeout, this, &frmMain::drainProgress);

    createControls();
    createMenus();
    createStatusBar();
    Form_Load();

    // The designed client area, status bar included, below the menu bar.
    resize(TwipsToPixels(kDesignClientWidth),
           TwipsToPixels(kDesignClientHeight - kStatusBarDesignHeight)
               + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());
}

frmMain::~frmMain()
{
    m_closing = true;
    stopAndWait();
}

void frmMain::createControls()
{
    m_central = new QWidget(this);
    m_central->setObjectName(QStringLiteral("frmMainClient"));
    setCentralWidget(m_central);
    // The layout follows the central area, the part of the window the controls live in.
    m_central->installEventFilter(this);

    fraFile = makeFrame(m_central, "fraFile");
    Label3 = makeLabel(fraFile, "Label3", "Mask");
    cboFileMask = makeCombo(fraFile, "cboFileMask");
    Label2 = makeLabel(fraFile, "Label2", "Search Path");
    cboFilePath = makeCombo(fraFile, "cboFilePath");
    cmdFileBrowse = makeButton(fraFile, "cmdFileBrowse", "&Browse...");
    chkFileSubfolder = new QCheckBox(QStringLiteral("Include Subfolders"), fraFile);
    chkFileSubfolder->setObjectName(QStringLiteral("chkFileSubfolder"));

    fraContent = makeFrame(m_central, "fraContent");
    Label5 = makeLabel(fraContent, "Label5", "Text to Find");
    txtFind = makeTextBox(fraContent, "txtFind");
    Label6 = makeLabel(fraContent, "Label6", "Action:");
    QFont boldFont = font();
    // SimSun where installed; otherwise a font that also has the CJK glyphs.
    boldFont.setFamilies({ QStringLiteral("宋体"), QStringLiteral("SimSun"),
                           QStringLiteral("WenQuanYi Micro Hei"),
                           QStringLiteral("Noto Sans CJK SC"), boldFont.family() });
    boldFont.setPointSize(9);
    boldFont.setBold(true);
    Label6->setFont(boldFont);

    static const char *const optionNames[6]
        = { "optAction1", "optAction2", "optAction3", "optAction4", "optAction5", "optAction6" };
    static const char *const optionCaptions[6]
        = { "Replace With", "Before", "After", "Between)", "Delete", "Just Find" };
    for (int i = 0; i < 6; ++i) {
        optAction[i] = new QRadioButton(QString::fromUtf8(optionCaptions[i]), fraContent);
        optAction[i]->setObjectName(QLatin1String(optionNames[i]));
        if (i == 0)
            Label16 = makeLabel(fraContent, "Label16", "Insert(");
    }
    Label7 = makeLabel(fraContent, "Label7", "Replace/Insert by Text");
    txtReplace = makeTextBox(fraContent, "txtReplace");
    Label8 = makeLabel(fraContent, "Label8", "Ending With");
    txtEnd = makeTextBox(fraContent, "txtEnd");
    // The tall replace box covers "Ending With", which shows only while Between shortens it.
    txtReplace->raise();

    fraCommand = makeFrame(m_central, "fraCommand");
    cmdCommandExecute = makeButton(fraCommand, "cmdCommandExecute", "&Execute");
    cmdCommandStop = makeButton(fraCommand, "cmdCommandStop", "&Stop");
    cmdCommandClear = makeButton(fraCommand, "cmdCommandClear", "&Clear");

    lstLog = new QTableView(m_central);
    lstLog->setObjectName(QStringLiteral("lstLog"));
    m_model = new ResultsModel(this);
    lstLog->setModel(m_model);
    // A report list: no row numbers, no grid, one line per row. Fixed row heights let the
    // view skip measuring 100,000 rows.
    lstLog->verticalHeader()->hide();
    lstLog->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lstLog->verticalHeader()->setDefaultSectionSize(lstLog->fontMetrics().height() + 3);
    lstLog->setShowGrid(false);
    lstLog->setWordWrap(false);
    lstLog->setSortingEnabled(false);
    lstLog->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstLog->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lstLog->setTextElideMode(Qt::ElideRight);
    lstLog->horizontalHeader()->setStretchLastSection(false);
    lstLog->horizontalHeader()->setSectionsMovable(false);
    lstLog->horizontalHeader()->setHighlightSections(false);
    lstLog->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Designed places; the lefts and widths that follow the window's size come from
    // m_geometry (see applyGeometry).
    Label3->setGeometry(twipsRect(120, 240, 1815, 255));
    cboFileMask->setGeometry(twipsRect(120, 480, 2295, 300));
    Label2->setGeometry(twipsRect(2640, 240, 1815, 255));
    chkFileSubfolder->setGeometry(twipsRect(120, 960, 2295, 255));
    Label5->setGeometry(twipsRect(120, 240, 1215, 255));
    Label6->setGeometry(twipsRect(120, 2040, 735, 255));
    static const int optionLefts[6] = { 960, 3225, 4185, 5025, 6240, 7320 };
    static const int optionWidths[6] = { 1455, 975, 855, 1095, 855, 1215 };
    for (int i = 0; i < 6; ++i)
        optAction[i]->setGeometry(twipsRect(optionLefts[i], 2040, optionWidths[i], 255));
    Label16->setGeometry(twipsRect(2505, 2070, 735, 255));
    Label7->setGeometry(twipsRect(120, 2400, 2175, 255));
    Label8->setGeometry(twipsRect(120, 3600, 1095, 255));
    cmdCommandExecute->setGeometry(twipsRect(240, 1080, 1455, 350));
    cmdCommandStop->setGeometry(twipsRect(240, 1680, 1455, 350));
    cmdCommandClear->setGeometry(twipsRect(240, 2280, 1455, 350));

    connect(cmdCommandExecute, &QPushButton::clicked, this, &frmMain::cmdCommandExecute_Click);
    connect(cmdCommandStop, &QPushButton::clicked, this, &frmMain::cmdCommandStop_Click);
    connect(cmdCommandClear, &QPushButton::clicked, this, &frmMain::cmdCommandClear_Click);
    connect(cmdFileBrowse, &QPushButton::clicked, this, &frmMain::cmdFileBrowse_Click);
    using Handler = void (frmMain::*)();
    static const Handler handlers[6]
        = { &frmMain::optAction1_Click, &frmMain::optAction2_Click, &frmMain::optAction3_Click,
            &frmMain::optAction4_Click, &frmMain::optAction5_Click, &frmMain::optAction6_Click };
    for (int i = 0; i < 6; ++i) {
        // An option's handler runs whenever it becomes selected: by mouse, keyboard or code.
        connect(optAction[i], &QRadioButton::toggled, this, [this, handler = handlers[i]](bool on) {
            if (on)
                (this->*handler)();
        });
    }
}

void frmMain::createMenus()
{
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuExit = mnuFile->addAction(QStringLiteral("&Exit"));
    mnuExit->setObjectName(QStringLiteral("mnuExit"));
    connect(mnuExit, &QAction::triggered, this, &frmMain::mnuExit_Click);

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    mnuHelp->setObjectName(QStringLiteral("mnuHelp"));
    mnuContent = mnuHelp->addAction(QStringLiteral("&Content"));
    mnuContent->setObjectName(QStringLiteral("mnuContent"));
    mnuHelp->addSeparator();
    mnuAbout = mnuHelp->addAction(QStringLiteral("&About.."));
    mnuAbout->setObjectName(QStringLiteral("mnuAbout"));
    connect(mnuContent, &QAction::triggered, this, &frmMain::mnuContent_Click);
    connect(mnuAbout, &QAction::triggered, this, &frmMain::mnuAbout_Click);
}

void frmMain::createStatusBar()
{
    auto *bar = new QStatusBar(this);
    bar->setObjectName(QStringLiteral("StatusBar1"));
    setStatusBar(bar);
    // The panels sit side by side at set widths and are cut off by the window's edge, as a
    // classic status bar's panels are; a layout would instead make them set the window's
    // smallest width.
    m_panelStrip = new QWidget(bar);
    m_panelStrip->setObjectName(QStringLiteral("StatusBar1Panels"));
    for (int i = 0; i < 4; ++i) {
        m_panels[i] = new QLabel(m_panelStrip);
        m_panels[i]->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i + 1));
        // File names may hold anything, '<' included: never read them as rich text.
        m_panels[i]->setTextFormat(Qt::PlainText);
        m_panels[i]->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        m_panels[i]->setMargin(1);
        m_panels[i]->setIndent(2);
    }
    m_panelStrip->setFixedHeight(m_panels[0]->sizeHint().height() + 2);
    bar->addWidget(m_panelStrip, 1);
}

void frmMain::Form_Load()
{
    setWindowTitle(QGuiApplication::applicationDisplayName());
    setWindowIcon(ProgramIcon());
    chkFileSubfolder->setChecked(true);
    cboFileMask->addItem(QStringLiteral("*.htm,*.html,*.asp,*.txt"));
    cboFileMask->addItem(QStringLiteral("*.htm,*.html,*.asp"));
    cboFileMask->addItem(QStringLiteral("*.txt"));
    cboFileMask->addItem(QStringLiteral("*.*"));
    cboFileMask->setCurrentIndex(0);
    cboFileMask->setEditText(cboFileMask->itemText(0));
    cmdCommandStop->setEnabled(false);
    optAction[0]->setChecked(true);
    for (int column = 0; column < ResultsModel::ColumnCount; ++column)
        lstLog->horizontalHeader()->resizeSection(
            column, TwipsToPixels(ResultsModel::columnWidthTwips(column)));
    applyGeometry();
}

bool frmMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_central && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void frmMain::Form_Resize()
{
    const OuterSize outer
        = OuterSizeFromCentral(static_cast<float>(m_central->width() * kTwipsPerPixel),
                               static_cast<float>(m_central->height() * kTwipsPerPixel));
    m_geometry = ArrangeControls(outer.width, outer.height, m_geometry);
    applyGeometry();
}

void frmMain::applyGeometry()
{
    const ArrangedGeometry &g = m_geometry;
    fraFile->setGeometry(twipsRect(0, 0, g.fraFileWidth, 1335));
    cboFilePath->setGeometry(twipsRect(2640, 480, g.cboFilePathWidth, 300));
    cmdFileBrowse->setGeometry(twipsRect(g.cmdFileBrowseLeft, 480, 1455, 350));
    fraContent->setGeometry(twipsRect(0, 1320, g.fraContentWidth, 4815));
    txtFind->setGeometry(twipsRect(120, 480, g.txtFindWidth, 1455));
    txtReplace->setGeometry(twipsRect(120, 2640, g.txtReplaceWidth, m_replaceHeightTwips));
    txtEnd->setGeometry(twipsRect(120, 3840, g.txtEndWidth, 855));
    fraCommand->setGeometry(twipsRect(g.fraCommandLeft, 1320, 1935, 4815));
    lstLog->setGeometry(twipsRect(0, 6240, g.lstLogWidth, g.lstLogHeight));

    int x = 0;
    for (int i = 0; i < 4; ++i) {
        const int width = TwipsToPixels(i == 0 ? g.panel1Width : kPanelWidthsTwips[i]);
        m_panels[i]->setGeometry(x, 1, std::max(0, width - kPanelGapPx),
                                 m_panelStrip->height() - 2);
        x += width;
    }
}

QString frmMain::panelText(int panel) const
{
    return panel >= 1 && panel <= 4 ? m_panels[panel - 1]->text() : QString();
}

void frmMain::setReplaceBoxes(bool replaceEnabled, int replaceHeightTwips, bool endVisible)
{
    txtReplace->setEnabled(replaceEnabled);
    // "Window background" is the colour of an editable box (Qt's Base role); "button face" is
    // the colour of buttons (Button role). Set for every state, so the disabled look is ours.
    const QPalette standard = QApplication::palette(txtReplace);
    QPalette palette = txtReplace->palette();
    palette.setColor(QPalette::Base,
                     standard.color(replaceEnabled ? QPalette::Base : QPalette::Button));
    txtReplace->setPalette(palette);
    m_replaceHeightTwips = replaceHeightTwips;
    txtReplace->setGeometry(twipsRect(120, 2640, m_geometry.txtReplaceWidth, m_replaceHeightTwips));
    txtEnd->setVisible(endVisible);
}

void frmMain::optAction1_Click()
{
    setReplaceBoxes(true, 2055, false);
}

void frmMain::optAction2_Click()
{
    setReplaceBoxes(true, 2055, false);
}

void frmMain::optAction3_Click()
{
    setReplaceBoxes(true, 2055, false);
}

void frmMain::optAction4_Click()
{
    setReplaceBoxes(true, 855, true);
}

void frmMain::optAction5_Click()
{
    setReplaceBoxes(false, 2055, false);
}

void frmMain::optAction6_Click()
{
    setReplaceBoxes(false, 2055, false);
}

ActionKind frmMain::selectedAction() const
{
    static const ActionKind kinds[6]
        = { ActionKind::ReplaceWith,   ActionKind::InsertBefore, ActionKind::InsertAfter,
            ActionKind::InsertBetween, ActionKind::Delete,       ActionKind::JustFind };
    for (int i = 0; i < 6; ++i) {
        if (optAction[i]->isChecked())
            return kinds[i];
    }
    return ActionKind::ReplaceWith;
}

RunSettings frmMain::settingsFromControls() const
{
    RunSettings settings;
    settings.Mask = cboFileMask->currentText().toStdString();
    settings.SearchPath = cboFilePath->currentText().toStdString();
    settings.IncludeSubfolders = chkFileSubfolder->isChecked();
    settings.Action = selectedAction();
    settings.FindText = typedText(txtFind);
    switch (settings.Action) {
    case ActionKind::InsertBetween:
        settings.EndText = typedText(txtEnd);
        [[fallthrough]];
    case ActionKind::ReplaceWith:
    case ActionKind::InsertBefore:
    case ActionKind::InsertAfter:
        settings.InsertText = typedText(txtReplace);
        break;
    case ActionKind::Delete:
    case ActionKind::JustFind:
        break;
    }
    return settings;
}

void frmMain::cmdCommandExecute_Click()
{
    // Execute is disabled while a walk runs; a click already queued must not start another.
    if (m_worker.joinable())
        return;
    const Validation validation = ValidateRun(cboFileMask->currentText().toStdString(),
                                              cboFilePath->currentText().toStdString());
    if (validation != Validation::Ok) {
        QMessageBox box(QMessageBox::NoIcon, fromUtf8(kValidationTitle),
                        fromUtf8(ValidationMessage(validation)), QMessageBox::Ok, this);
        box.exec();
        return;
    }
    const RunSettings settings = settingsFromControls();

    cmdCommandStop->setEnabled(true);
    cmdCommandExecute->setEnabled(false);
    m_model->clear();

    const quint64 runId = ++m_runId;
    // The walk calls wake on its own thread; widgets may only be touched on this one, so the
    // call is queued to the window's thread rather than made directly.
    m_progress = std::make_shared<ProgressBuffer>([this] {
        QMetaObject::invokeMethod(
            this, [this] { progressPosted(); }, Qt::QueuedConnection);
    });
    m_sinceDrain.invalidate();
    // Running is set here, before the walk's thread exists, so a Stop clicked at any moment
    // from now on holds.
    BeginRun(m_state, *m_progress);
    m_worker = std::thread([this, settings, runId, progress = m_progress] {
        WalkRun(settings, m_state, *progress, *m_facts);
        // Queued for the same reason: the end of the walk is handled on the window's thread.
        QMetaObject::invokeMethod(
            this, [this, runId] { walkReturned(runId); }, Qt::QueuedConnection);
    });
}

void frmMain::cmdCommandStop_Click()
{
    StopRun(m_state);
    // Execute comes back only when the walk has returned (walkReturned): a second walk must
    // never run beside one that is still finishing its file.
    cmdCommandStop->setEnabled(false);
}

void frmMain::cmdCommandClear_Click()
{
    // What the walk reported before this click goes; what it reports after still arrives.
    if (m_progress)
        m_progress->discardPending();
    m_model->clear();
    m_panels[0]->clear();
    m_panels[1]->clear();
}

void frmMain::progressPosted()
{
    if (m_drainTimer.isActive())
        return;
    const qint64 since = m_sinceDrain.isValid() ? m_sinceDrain.elapsed() : kDrainIntervalMs;
    if (since >= kDrainIntervalMs)
        drainProgress();
    else
        m_drainTimer.start(static_cast<int>(kDrainIntervalMs - since));
}

void frmMain::drainProgress()
{
    if (!m_progress)
        return;
    ProgressBuffer::Batch batch = m_progress->take();
    m_sinceDrain.start();
    if (batch.clearRows)
        m_model->clear();
    m_model->appendRows(std::move(batch.rows));
    if (batch.panel1)
        m_panels[0]->setText(QString::fromStdString(*batch.panel1));
    if (batch.panel2)
        m_panels[1]->setText(QString::fromStdString(*batch.panel2));
}

void frmMain::walkReturned(quint64 runId)
{
    if (runId != m_runId || !m_progress)
        return;
    if (m_worker.joinable())
        m_worker.join();
    m_drainTimer.stop();
    // The walk has returned, so this takes its last words: the final texts as it wrote them.
    drainProgress();
    const std::vector<RunFailure> failures = m_progress->takeFailures();
    m_progress.reset();
    cmdCommandStop->setEnabled(false);
    cmdCommandExecute->setEnabled(true);
    if (!failures.empty() && !m_closing)
        reportFailures(failures);
    emit runFinished();
}

void frmMain::reportFailures(const std::vector<RunFailure> &failures)
{
    const int count = static_cast<int>(failures.size());
    QString details;
    for (const RunFailure &failure : failures) {
        details += QString::fromStdString(failure.path) + QStringLiteral(": ")
            + QString::fromStdString(failure.reason) + QLatin1Char('\n');
    }
    auto *box
        = new QMessageBox(QMessageBox::Warning, windowTitle(),
                          count == 1 ? QStringLiteral("1 file or folder could not be handled.")
                                     : QStringLiteral("%1 files or folders could not be "
                                                      "handled.")
                                           .arg(count),
                          QMessageBox::Ok, this);
    box->setObjectName(QStringLiteral("runFailures"));
    box->setInformativeText(QStringLiteral("Show Details lists each path with the reason."));
    box->setDetailedText(details);
    box->setAttribute(Qt::WA_DeleteOnClose);
    // Not exec(): the window stays live while the user reads the list.
    box->open();
}

void frmMain::stopAndWait()
{
    if (!m_worker.joinable())
        return;
    StopRun(m_state);
    // Waits for the file in hand: the walk checks the stop before each file.
    m_worker.join();
    walkReturned(m_runId);
}

void frmMain::closeEvent(QCloseEvent *event)
{
    m_closing = true;
    stopAndWait();
    QMainWindow::closeEvent(event);
}

void frmMain::mnuExit_Click()
{
    close();
}

void frmMain::setFolderPicker(std::unique_ptr<platform::FolderPicker> picker)
{
    m_folderPicker = std::move(picker);
}

void frmMain::cmdFileBrowse_Click()
{
    BrowseForSearchPath(this, cboFilePath, *m_folderPicker);
}

void frmMain::mnuContent_Click()
{
    OpenHelpContent();
}

void frmMain::mnuAbout_Click()
{
    ShowAbout(this);
}

} // namespace orvane
