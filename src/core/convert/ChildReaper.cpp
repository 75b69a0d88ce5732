#include "ChildReaper.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ChildReaper {

namespace {
int g_pending = 0;

bool tryReap(pid_t pid, int* waitStatus = nullptr)
{
    int status = -1;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (waitStatus)
        *waitStatus = r == pid ? status : -1;
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

namespace {
// Watches one child until it is reaped, then calls back; from a pidfd where the kernel has one, else
// by polling.
void watch(pid_t pid, int pidfd, std::function<void(int)> onEnded, QObject** watcherOut = nullptr)
{
    int status = -1;
    if (tryReap(pid, &status)) {
        if (pidfd >= 0)
            ::close(pidfd);
        if (onEnded)
            QTimer::singleShot(0, QCoreApplication::instance(), [onEnded, status] { onEnded(status); });
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        if (pidfd >= 0)
            ::close(pidfd);
        return;
    }
    ++g_pending;
    const auto ended = [pid, pidfd, onEnded](QObject* watcher) {
        int status = -1;
        if (!tryReap(pid, &status))
            return;
        if (auto* n = qobject_cast<QSocketNotifier*>(watcher))
            n->setEnabled(false);
        if (auto* t = qobject_cast<QTimer*>(watcher))
            t->stop();
        if (pidfd >= 0)
            ::close(pidfd);
        --g_pending;
        watcher->deleteLater();
        if (onEnded)
            onEnded(status);
    };
    QObject* watcher;
    if (pidfd >= 0) {
        auto* notifier = new QSocketNotifier(pidfd, QSocketNotifier::Read, app);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [ended, notifier] { ended(notifier); });
        watcher = notifier;
    } else {
        auto* poll = new QTimer(app);
        QObject::connect(poll, &QTimer::timeout, poll, [ended, poll] { ended(poll); });
        poll->start(50);
        watcher = poll;
    }
    if (watcherOut)
        *watcherOut = watcher;
}
} // namespace

void reapLater(pid_t pid, int pidfd)
{
    watch(pid, pidfd, {});
}

void terminate(pid_t pid, int pidfd, int killAfterMs, std::function<void(int waitStatus)> onEnded)
{
    // The child leads its own process group: the signal reaches whatever it started too. A held
    // (paused) tool acts on it only once continued; killed while held it would leave its part file.
    ::kill(-pid, SIGTERM);
    ::kill(-pid, SIGCONT);
    QObject* watcher = nullptr;
    watch(pid, pidfd, std::move(onEnded), &watcher);
    if (!watcher)
        return;
    // Until the child is reaped its id cannot be reused, so the group is still its own.
    QTimer::singleShot(killAfterMs, watcher, [pid] {
        if (::kill(pid, 0) == 0)
            ::kill(-pid, SIGKILL);
    });
}

int pendingCount()
{
    return g_pending;
}

} // namespace ChildReaper
