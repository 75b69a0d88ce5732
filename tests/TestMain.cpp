#include "ui/MsgBox.h"

#include <QApplication>
#include <csignal>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Like the program itself; a test that kills a tool must not be killed by the closed pipe.
    std::signal(SIGPIPE, SIG_IGN);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
