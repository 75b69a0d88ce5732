#include "ui/ModalGuard.h"

#include <QApplication>
#include <csignal>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    // Like the program itself; a test that kills a tool must not be killed by the closed pipe.
    std::signal(SIGPIPE, SIG_IGN);
    // Without an X server a test that wants one runs offscreen and skips itself.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
        (qgetenv("QT_QPA_PLATFORM") == "xcb" && qEnvironmentVariableIsEmpty("DISPLAY")))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // A test that forgot to answer a dialog fails at once instead of hanging until its time-out.
    ModalGuard::setHandler([](const char* what) { ADD_FAILURE() << "a real " << what << " would have opened"; });
    return RUN_ALL_TESTS();
}
