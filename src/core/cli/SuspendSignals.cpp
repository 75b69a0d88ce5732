#include "SuspendSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace SuspendSignals {

namespace {
int g_pipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const unsigned char byte = 1;
    [[maybe_unused]] const ssize_t n = ::write(g_pipe[1], &byte, 1);
    errno = saved;
}

void catchStops()
{
    struct sigaction sa
    {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(SIGTSTP, &sa, nullptr);
}

// Stops the program as the default action of SIGTSTP would, and returns once it has been continued.
void stopHere()
{
    struct sigaction dfl
    {};
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    ::sigaction(SIGTSTP, &dfl, nullptr);
    ::raise(SIGTSTP);
    // Continued: SIGCONT has come (fg or bg).
    catchStops();
}
} // namespace

void install(std::function<void()> hold, std::function<void()> letGo)
{
    if (g_pipe[0] < 0 && ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier,
                     [hold = std::move(hold), letGo = std::move(letGo)] {
                         unsigned char buffer[16];
                         bool asked = false;
                         while (::read(g_pipe[0], buffer, sizeof buffer) > 0)
                             asked = true;
                         // Several presses before the loop came round stop the program once.
                         if (!asked)
                             return;
                         hold();
                         stopHere();
                         letGo();
                     });
    catchStops();
}

bool inForeground()
{
    const pid_t foreground = ::tcgetpgrp(STDOUT_FILENO);
    return foreground < 0 || foreground == ::getpgrp();
}

} // namespace SuspendSignals
