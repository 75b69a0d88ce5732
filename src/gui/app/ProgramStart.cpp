#include "ProgramStart.h"

#include "app/InstanceServer.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "app/frmMain.h"
#include "filelist/PathBytes.h"
#include "skin/SkinArt.h"
#include "ui/QtMsgBox.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QIcon>
#include <QLockFile>
#include <QPixmap>
#include <QThread>
#include <QUrl>
#include <unistd.h>

namespace ProgramStart {

namespace {
// How long a second start keeps trying to reach the first, which may still be starting.
constexpr int kHandOverMs = 5000;
} // namespace

QStringList PathsFrom(const QStringList& arguments, const QString& currentFolder)
{
    QStringList paths;
    for (const QString& a : arguments) {
        if (a.isEmpty())
            continue;
        // "file://" addresses come from file managers that pass URLs.
        const QString local =
            a.startsWith(QLatin1String("file://")) ? PathBytes::FromUrl(QUrl::fromEncoded(PathBytes::Encode(a))) : a;
        paths.append(QDir::cleanPath(QDir(currentFolder).absoluteFilePath(local)));
    }
    return paths;
}

int Run(const QString& executablePath, const QString& programFolder, const QStringList& paths,
        const std::function<void(frmMain&)>& ready)
{
    // A second start hands its files to the running window and ends, before any window or file is
    // touched; with no files it brings that window to the front. Until the first has its socket up, keep
    // trying; should the first have gone meanwhile, the lock is free and this start becomes the program.
    // One that cannot reach it in time opens a window of its own rather than lose the files.
    SingleInstance::Claim claim = SingleInstance::Acquire(executablePath);
    QElapsedTimer trying;
    trying.start();
    while (claim.outcome == SingleInstance::Claim::Outcome::Second) {
        const int left = int(qMax<qint64>(0, kHandOverMs - trying.elapsed()));
        if (SingleInstance::HandOver(SingleInstance::SocketPath(executablePath), paths, qMin(left, 1000)))
            return 0;
        if (trying.elapsed() >= kHandOverMs) {
            qWarning("The running Veltra WMA Converter did not answer; this one opens a window of its own.");
            claim.outcome = SingleInstance::Claim::Outcome::NoLock;
            break;
        }
        QThread::msleep(100);
        claim = SingleInstance::Acquire(executablePath);
    }
    if (claim.outcome == SingleInstance::Claim::Outcome::NoLock && SingleInstance::RuntimeFolder().isEmpty())
        qWarning("No private folder for the lock of Veltra WMA Converter; later starts open windows of their own.");

    // Listening before the window exists: a start that comes meanwhile waits in the socket's queue.
    InstanceServer server;
    if (claim.outcome == SingleInstance::Claim::Outcome::First)
        server.Listen(SingleInstance::SocketPath(executablePath));

    QtMsgBox::install();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addPixmap(QPixmap::fromImage(SkinArt::AppIcon(size)));
    QApplication::setWindowIcon(icon);
    frmMain window(programFolder);
    QLockFile* lock = claim.lock.get();
    // Every way out (the exit command, closing, a signal) ends the process here, at once: a conversion
    // tool still running is left to finish. _exit runs no destructor, so the socket and the lock go first.
    window.seams().endProcess = [lock, &server] {
        server.Close();
        if (lock)
            lock->unlock();
        ::_exit(0);
    };
    QObject::connect(&server, &InstanceServer::pathsReceived, &window, [&window](const QStringList& handed) {
        window.AddPaths(handed);
        window.BringToFront();
    });
    // Logging off or a closed terminal ends the program as closing the window does.
    QuitSignals::install([&window] { window.close(); });
    window.show();
    window.AddPaths(paths);
    if (ready)
        ready(window);
    return QApplication::exec();
}

} // namespace ProgramStart
