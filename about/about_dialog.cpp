#include "about/about_dialog.h"

#include "about/about_logic.h"
#include "about/app_identity.h"
#include "about/app_version.h"

#include <QCursor>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>

namespace orvane {

namespace {

// Places a control by its designed twips.
void placeTwips(QWidget *widget, int left, int top, int width, int height)
{
    const auto px = [](int twips) { return int(std::lround(twips / double(kTwipsPerPixel))); };
    widget->setGeometry(px(left), px(top), px(width), px(height));
}

QLabel *makeLabel(QWidget *parent, const char *objectName, const QString &text, bool black)
{
    auto *label = new QLabel(text, parent);
    label->setObjectName(QString::fromLatin1(objectName));
    if (black) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, Qt::black);
        label->setPalette(palette);
    }
    return label;
}

// The fingertip of the hand in ImageList1, where the click lands.
constexpr int kHandHotX = 14;
constexpr int kHandHotY = 2;

} // namespace

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
}

frmAbout::frmAbout(QWidget *parent, UrlOpener opener)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                  | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint)
    , m_opener(std::move(opener))
{
    EnsureAboutResources();
    if (!m_opener)
        m_opener = [](const QUrl &url) { QDesktopServices::openUrl(url); };

    setObjectName(QStringLiteral("frmAbout"));
    setWindowIcon(ProgramIcon());
    setModal(true);
    const int clientWidth = 4935 / kTwipsPerPixel;
    const int clientHeight = 4080 / kTwipsPerPixel;
    setFixedSize(clientWidth, clientHeight);

    m_imageList1 = { QPixmap(QStringLiteral(":/orvane/hand.png")) };

    m_image1 = new QLabel(this);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setPixmap(QPixmap(QStringLiteral(":/orvane/banner.png")));
    placeTwips(m_image1, 0, 0, 4950, 1500);

    m_picIcon = new QLabel(this);
    m_picIcon->setObjectName(QStringLiteral("picIcon"));
    m_picIcon->setPixmap(QPixmap(QStringLiteral(":/orvane/icon.png")));
    placeTwips(m_picIcon, 180, 1620, 480, 480);

    m_lblTitle = makeLabel(this, "lblTitle", QString(), true);
    placeTwips(m_lblTitle, 960, 1680, 3885, 255);
    m_lblVersion = makeLabel(this, "lblVersion", QString(), false);
    placeTwips(m_lblVersion, 945, 1980, 3885, 210);
    m_lblDescription
        = makeLabel(this, "lblDescription", QString::fromUtf8(kAboutDescription), true);
    placeTwips(m_lblDescription, 945, 2250, 3885, 210);
    m_lblAuthor = makeLabel(this, "lblAuthor", QString::fromUtf8(kAboutAuthor), true);
    placeTwips(m_lblAuthor, 945, 2520, 3885, 210);
    m_lblPhone = makeLabel(this, "lblPhone", QString::fromUtf8(kAboutPhone), true);
    placeTwips(m_lblPhone, 960, 2790, 3885, 210);

    m_lblHttp = new ClickLabel(QString::fromUtf8(kProductAddress), this);
    m_lblHttp->setObjectName(QStringLiteral("lblHttp"));
    QFont linkFont;
    // SimSun where it is installed, else a CJK face the set-up installs, else the default.
    linkFont.setFamilies({ QStringLiteral("宋体"), QStringLiteral("SimSun"),
                           QStringLiteral("WenQuanYi Micro Hei"),
                           QStringLiteral("Noto Sans CJK SC") });
    linkFont.setPointSize(9);
    linkFont.setUnderline(true);
    m_lblHttp->setFont(linkFont);
    QPalette linkPalette = m_lblHttp->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    m_lblHttp->setPalette(linkPalette);
    placeTwips(m_lblHttp, 960, 3000, 2205, 210);

    m_cmdOK = new QPushButton(QStringLiteral("确定"), this);
    m_cmdOK->setObjectName(QStringLiteral("cmdOK"));
    m_cmdOK->setDefault(true);
    placeTwips(m_cmdOK, 1680, 3480, 1500, 345);

    connect(m_cmdOK, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    connect(m_lblHttp, &ClickLabel::clicked, this, &frmAbout::lblHttp_Click);
    // Escape ends in reject(), which closes the dialog just as OK does.

    Form_Load();
}

void frmAbout::Form_Load()
{
    setWindowTitle(AboutCaption(ApplicationTitle()));
    m_lblVersion->setText(VersionLine(kVersionMajor, kVersionMinor, kVersionRevision));
    m_lblTitle->setText(ApplicationTitle());
    // The hand over the link: the first image of ImageList1.
    m_lblHttp->setCursor(QCursor(m_imageList1.first(), kHandHotX, kHandHotY));
}

void frmAbout::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    placeOnScreen();
}

void frmAbout::placeOnScreen()
{
    const QScreen *where = screen();
    if (!where)
        return;
    // The outer size is known once the window has a frame; before that it is the client size.
    move(AboutPlacementPixels(where->geometry(), frameGeometry().size()));
}

void frmAbout::cmdOK_Click()
{
    accept();
}

void frmAbout::lblHttp_Click()
{
    // Each click opens the page again; the dialog stays open.
    m_opener(QUrl(QString::fromUtf8(kProductAddress)));
}

void ShowAbout(QWidget *owner)
{
    frmAbout dialog(owner);
    dialog.exec();
}

} // namespace orvane
