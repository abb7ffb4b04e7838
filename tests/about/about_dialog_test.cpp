#include "about/about_dialog.h"
#include "about/app_version.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace orvane {
namespace {

QString labelText(const QDialog &dialog, const char *name)
{
    const auto *label = dialog.findChild<QLabel *>(QString::fromLatin1(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

TEST(frmAbout, TextsAndLook)
{
    frmAbout dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("关于 Orvane Replace"));
    EXPECT_EQ(labelText(dialog, "lblTitle"), QStringLiteral("Orvane Replace"));
    EXPECT_EQ(
        labelText(dialog, "lblVersion"),
        QStringLiteral("Ver %1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision));
    for (const char *name : { "lblDescription", "lblAuthor", "lblPhone", "lblHttp" })
        EXPECT_FALSE(labelText(dialog, name).isEmpty()) << name;
    EXPECT_EQ(labelText(dialog, "lblHttp"), QString::fromUtf8(kProductAddress));
    EXPECT_TRUE(
        QUrl(QString::fromUtf8(kProductAddress)).host().endsWith(QLatin1String(".example")));

    // Fixed client size: 4935 x 4080 twips at 15 twips to the pixel.
    EXPECT_EQ(dialog.size(), QSize(329, 272));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMaximizeButtonHint);

    const auto *banner = dialog.findChild<QLabel *>(QStringLiteral("Image1"));
    ASSERT_TRUE(banner);
    EXPECT_EQ(banner->pixmap().size(), QSize(330, 100));
    EXPECT_EQ(banner->geometry(), QRect(0, 0, 330, 100));
    const auto *icon = dialog.findChild<QLabel *>(QStringLiteral("picIcon"));
    ASSERT_TRUE(icon);
    EXPECT_EQ(icon->pixmap().size(), QSize(32, 32));
    EXPECT_EQ(icon->geometry(), QRect(12, 108, 32, 32));

    const auto *ok = dialog.findChild<QPushButton *>(QStringLiteral("cmdOK"));
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->text(), QStringLiteral("确定"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(ok->geometry(), QRect(112, 232, 100, 23));

    const auto *link = dialog.findChild<QLabel *>(QStringLiteral("lblHttp"));
    ASSERT_TRUE(link);
    EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->font().pointSize(), 9);
    EXPECT_EQ(link->cursor().shape(), Qt::BitmapCursor);
    EXPECT_EQ(link->cursor().pixmap().size(), QSize(32, 32));
    // The cursor is the hand, the first image of the dialog's image list.
    ASSERT_EQ(dialog.ImageList1().size(), 1);
    const auto argb = [](const QPixmap &pixmap) {
        return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    };
    const QImage hand = argb(dialog.ImageList1().first());
    ASSERT_FALSE(hand.isNull());
    EXPECT_EQ(hand, argb(QPixmap(QStringLiteral(":/orvane/hand.png"))));
    EXPECT_EQ(argb(link->cursor().pixmap()), hand);
    // The address must fit its label, or the link would show cut off.
    EXPECT_LE(link->fontMetrics().horizontalAdvance(link->text()), link->width());
}

TEST(frmAbout, PlacedCentredAndAThirdDownOnEachShow)
{
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    for (int round = 0; round < 2; ++round) {
        frmAbout dialog;
        dialog.show();
        const QSize outer = dialog.frameGeometry().size();
        EXPECT_NEAR(dialog.frameGeometry().left(),
                    screen.left() + (screen.width() - outer.width()) / 2.0, 1);
        EXPECT_NEAR(dialog.frameGeometry().top(),
                    screen.top() + (screen.height() - outer.height()) / 3.0, 1);
    }
}

struct KeyCase
{
    const char *name;
    Qt::Key key;
};

TEST(frmAbout, EnterAndEscapeClose)
{
    for (const KeyCase &c :
         { KeyCase { "Enter", Qt::Key_Return }, KeyCase { "Escape", Qt::Key_Escape } }) {
        frmAbout dialog;
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        QTest::keyClick(&dialog, c.key);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 2000);
        EXPECT_FALSE(dialog.isVisible()) << c.name;
    }
}

TEST(frmAbout, LinkOpensAddressEachTimeAndStaysOpen)
{
    QList<QUrl> opened;
    frmAbout dialog(nullptr, [&opened](const QUrl &url) { opened.append(url); });
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto *link = dialog.findChild<QLabel *>(QStringLiteral("lblHttp"));
    ASSERT_TRUE(link);
    QTest::mouseClick(link, Qt::LeftButton);
    QTest::mouseClick(link, Qt::LeftButton);
    ASSERT_EQ(opened.size(), 2);
    EXPECT_EQ(opened.at(0), QUrl(QString::fromUtf8(kProductAddress)));
    EXPECT_EQ(opened.at(1), opened.at(0));
    EXPECT_TRUE(dialog.isVisible());
    // A right click is no link click.
    QTest::mouseClick(link, Qt::RightButton);
    EXPECT_EQ(opened.size(), 2);
}

} // namespace
} // namespace orvane
