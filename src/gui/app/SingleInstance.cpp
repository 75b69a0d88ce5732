#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <unistd.h>

namespace SingleInstance {

QString LockPath(const QString& executablePath)
{
    const QString real = QFileInfo(executablePath).canonicalFilePath();
    const QByteArray key =
        QCryptographicHash::hash((real.isEmpty() ? executablePath : real).toUtf8(), QCryptographicHash::Sha1)
            .toHex()
            .left(16);
    const QString name = QStringLiteral("veltra-wma-converter-%1.lock").arg(QString::fromLatin1(key));
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR")) {
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        if (!runtime.isEmpty())
            return runtime + QLatin1Char('/') + name;
    }
    return QDir::tempPath() + QStringLiteral("/uid%1-").arg(::getuid()) + name;
}

QString SocketPath(const QString& executablePath)
{
    QString path = LockPath(executablePath);
    path.chop(int(qstrlen(".lock")));
    return path + QStringLiteral(".sock");
}

Claim Acquire(const QString& executablePath)
{
    Claim claim;
    claim.lock = std::make_unique<QLockFile>(LockPath(executablePath));
    // A lock left by a crashed instance is stale and is taken over.
    claim.lock->setStaleLockTime(0);
    if (claim.lock->tryLock(0)) {
        claim.outcome = Claim::Outcome::First;
        return claim;
    }
    claim.outcome = claim.lock->error() == QLockFile::LockFailedError ? Claim::Outcome::Second : Claim::Outcome::NoLock;
    claim.lock.reset();
    return claim;
}

QByteArray Encode(const QStringList& paths)
{
    QByteArray message;
    for (const QString& p : paths) {
        if (!p.isEmpty())
            message += p.toUtf8() + '\0';
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
        paths.append(QString::fromUtf8(message.mid(at, end - at)));
        at = end + 1;
    }
    return std::nullopt;
}

bool HandOver(const QString& socketPath, const QStringList& paths, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;
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
