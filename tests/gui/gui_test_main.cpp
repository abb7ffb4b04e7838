// Widget tests run on Qt's offscreen platform: no display needed.

#include "about/app_identity.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    orvane::SetUpApplication(app);
    return RUN_ALL_TESTS();
}
