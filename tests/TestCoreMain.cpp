#include "ui/ModalGuard.h"

#include <QCoreApplication>
#include <csignal>
#include <gtest/gtest.h>

// The main of the tests of the widget-free code: no window system at all.
int main(int argc, char** argv)
{
    // Like the program itself; a test that kills a tool must not be killed by the closed pipe.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    // A test that forgot to answer a dialog fails at once instead of hanging until its time-out.
    ModalGuard::setHandler([](const char* what) { ADD_FAILURE() << "a real " << what << " would have opened"; });
    return RUN_ALL_TESTS();
}
