// Widget tests run on Qt's offscreen platform: no display needed.

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Orvane Replace"));
    QApplication::setApplicationDisplayName(QStringLiteral("Orvane Replace"));
    return RUN_ALL_TESTS();
}
