#include "SingleInstance.h"

#include "filelist/PathBytes.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace SingleInstance {

namespace {
QString baseName(const QString& executablePath)
{
    const QString real = QFileInfo(executablePath).canonicalFilePath();
    const QByteArray key =
        QCryptographicHash::hash((real.isEmpty() ? executablePath : real).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    return QStringLiteral("veltra-wma-converter-%1").arg(QString::fromLatin1(key));
}

// The longest socket name in the folder, ".sock" included.
constexpr int kNameLength = int(sizeof "veltra-wma-converter-0123456789abcdef.sock") - 1;

bool fitsSocket(const QString& folder)
{
    // A longer path would be cut short or refused by listen() with no reason given.
    return QFile::encodeName(folder).size() + 1 + kNameLength < qsizetype(sizeof(sockaddr_un::sun_path));
}

// A folder in the user's cache folder, made private if it is new. One that exists already is taken as it
// is, and only if it passes the same test as any other.
QString cacheFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (cache.isEmpty() || !QDir::isAbsolutePath(cache))
        return {};
    const QString folder = cache + QStringLiteral("/veltra-wma-converter");
    QDir().mkpath(cache);
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    return folder;
}

// A live process of this user running this executable.
bool isOurInstance(qint64 pid, const QString& executablePath)
{
    if (pid <= 0)
        return false;
    struct stat st;
    const QByteArray proc = "/proc/" + QByteArray::number(pid);
    if (::stat(proc.constData(), &st) != 0 || st.st_uid != ::geteuid())
        return false;
    QString exe = QFile::symLinkTarget(QString::fromLatin1(proc + "/exe"));
    // A program replaced while it runs (an upgrade) is still this program.
    if (exe.endsWith(QLatin1String(" (deleted)")))
        exe.chop(int(qstrlen(" (deleted)")));
    const QString ours = QFileInfo(executablePath).canonicalFilePath();
    return !exe.isEmpty() && exe == (ours.isEmpty() ? executablePath : ours);
}
} // namespace

bool IsPrivateFolder(const QString& folder)
{
    if (folder.isEmpty())
        return false;
    struct stat st;
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

QString RuntimeFolder()
{
    const auto usable = [](const QString& f) { return QDir::isAbsolutePath(f) && fitsSocket(f) && IsPrivateFolder(f); };
    const QString xdg = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (usable(xdg))
        return xdg;
    // Without $XDG_RUNTIME_DIR Qt makes one in the shared temp folder, and gives nothing back when another
    // user made that name first; the home folder is then the user's own.
    if (xdg.isEmpty()) {
        const QString qt = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (usable(qt))
            return qt;
    }
    const QString cache = cacheFolder();
    return usable(cache) ? cache : QString();
}

QString LockPath(const QString& executablePath)
{
    const QString folder = RuntimeFolder();
    return folder.isEmpty() ? QString()
                            : folder + QLatin1Char('/') + baseName(executablePath) + QStringLiteral(".lock");
}

QString SocketPath(const QString& executablePath)
{
    const QString folder = RuntimeFolder();
    return folder.isEmpty() ? QString()
                            : folder + QLatin1Char('/') + baseName(executablePath) + QStringLiteral(".sock");
}

qint64 PeerUser(qintptr socketDescriptor)
{
    ucred cred{};
    socklen_t size = sizeof cred;
    if (socketDescriptor < 0 || ::getsockopt(int(socketDescriptor), SOL_SOCKET, SO_PEERCRED, &cred, &size) != 0)
        return -1;
    return qint64(cred.uid);
}

Claim Acquire(const QString& executablePath)
{
    Claim claim;
    const QString path = LockPath(executablePath);
    if (path.isEmpty())
        return claim;
    claim.lock = std::make_unique<QLockFile>(path);
    // A lock left by a crashed instance is stale and is taken over.
    claim.lock->setStaleLockTime(0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (claim.lock->tryLock(0)) {
            claim.outcome = Claim::Outcome::First;
            return claim;
        }
        if (claim.lock->error() != QLockFile::LockFailedError)
            break;
        qint64 pid = 0;
        QString host, app;
        bool known = claim.lock->getLockInfo(&pid, &host, &app);
        if (!known) {
            // A start racing this one may not have written its lock yet.
            QThread::msleep(200);
            known = claim.lock->getLockInfo(&pid, &host, &app);
        }
        if (known && isOurInstance(pid, executablePath)) {
            claim.outcome = Claim::Outcome::Second;
            claim.lock.reset();
            return claim;
        }
        // Anything else holds no claim on this user's program. Removal still fails while a live process
        // keeps the file locked, which leaves this start on its own.
        if (!claim.lock->removeStaleLockFile())
            break;
    }
    claim.lock.reset();
    return claim;
}

QByteArray Encode(const QStringList& paths)
{
    QByteArray message;
    for (const QString& p : paths) {
        if (!p.isEmpty())
            message += PathBytes::Encode(p) + '\0';
    }
    return message + '\0';
}

std::optional<QStringList> Decode(const QByteArray& message)
{
    QStringList paths;
    qsizetype at = 0;
    while (at < message.size()) {
        const qsizetype end = message.indexOf('\0', at);
        if (end < 0)
            return std::nullopt;
        if (end == at)
            return paths;
        paths.append(PathBytes::Decode(message.mid(at, end - at)));
        at = end + 1;
    }
    return std::nullopt;
}

bool HandOver(const QString& socketPath, const QStringList& paths, int timeoutMs)
{
    if (socketPath.isEmpty())
        return false;
    QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
    // Whoever listens there gets the user's file names only if it is the user.
    if (PeerUser(socket.socketDescriptor()) != qint64(::geteuid())) {
        socket.abort();
        return false;
    }
    socket.write(Encode(paths));
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
        answer += socket.readAll();
    }
    return answer.startsWith("ok");
}

} // namespace SingleInstance
