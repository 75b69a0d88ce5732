#include "SingleInstance.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
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

std::unique_ptr<QLockFile> Acquire(const QString& executablePath)
{
    auto lock = std::make_unique<QLockFile>(LockPath(executablePath));
    // A lock left by a crashed instance is stale and is taken over.
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

} // namespace SingleInstance
