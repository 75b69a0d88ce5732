#include "ChildReaper.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ChildReaper {

namespace {
int g_pending = 0;

bool tryReap(pid_t pid)
{
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    // ECHILD: somebody else reaped it; either way it is gone.
    return r == pid || (r < 0 && errno == ECHILD);
}
} // namespace

int openPidFd(pid_t pid)
{
#ifdef SYS_pidfd_open
    const long fd = ::syscall(SYS_pidfd_open, pid, 0);
    if (fd >= 0) {
        ::fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
        return static_cast<int>(fd);
    }
#else
    (void)pid;
#endif
    return -1;
}

void reapLater(pid_t pid, int pidfd)
{
    if (tryReap(pid)) {
        if (pidfd >= 0)
            ::close(pidfd);
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        if (pidfd >= 0)
            ::close(pidfd);
        return;
    }
    ++g_pending;
    if (pidfd >= 0) {
        auto* notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, app);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier, pid, pidfd] {
            if (!tryReap(pid))
                return;
            notifier->setEnabled(false);
            ::close(pidfd);
            --g_pending;
            notifier->deleteLater();
        });
        return;
    }
    auto* poll = new QTimer(app);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, pid] {
        if (!tryReap(pid))
            return;
        poll->stop();
        --g_pending;
        poll->deleteLater();
    });
    poll->start(200);
}

int pendingCount()
{
    return g_pending;
}

} // namespace ChildReaper
