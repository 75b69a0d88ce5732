#include "OutputFolder.h"

#include "FatName.h"
#include "filelist/PathBytes.h"

#include <QStringList>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace OutputFolder {

namespace {
QString reason(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// The errors with which FAT, exFAT and NTFS drivers refuse a name's characters.
bool refusesName(int error)
{
    return error == EINVAL || error == EPERM || error == ENOENT;
}

// Why a level could not be made: for a name with characters such a drive refuses, which ones, since the
// system's own word for it ("Operation not permitted") says nothing of the name.
QString levelReason(int error, const QByteArray& level)
{
    const std::string name = level.mid(level.lastIndexOf('/') + 1).toStdString();
    if (!refusesName(error) || !FatName::NeedsMapping(name))
        return reason(error);
    QStringList refused;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        const QString shown = u < 0x20 || u == 0x7F ? QStringLiteral("control characters") : QString(QLatin1Char(c));
        if (FatName::IsRefused(u) && !refused.contains(shown))
            refused.append(shown);
    }
    if (name.back() == '.' || name.back() == ' ')
        refused.append(QStringLiteral("a dot or space at the end"));
    return QStringLiteral("the drive does not take %1 in a folder name (%2)")
        .arg(refused.join(QStringLiteral(", ")), reason(error));
}

} // namespace

int MakeLevel(const QByteArray& path)
{
    if (::mkdir(path.constData(), 0777) == 0)
        return 0;
    const int error = errno;
    struct stat st
    {};
    if (::stat(path.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    return error;
}

QString Prepare(const QString& folder)
{
    QByteArray path = PathBytes::Encode(folder);
    while (path.size() > 1 && path.endsWith('/'))
        path.chop(1);
    if (path.isEmpty())
        return {};
    // Each level from the top, as mkdir -p makes them; the first that fails gives the reason.
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1)) {
        if (path[slash - 1] == '/')
            continue;
        if (const int error = MakeLevel(path.left(slash)))
            return levelReason(error, path.left(slash));
    }
    if (const int error = MakeLevel(path))
        return levelReason(error, path);
    // A folder that exists may still refuse new files: a read-only mount, another user's folder.
    if (::access(path.constData(), W_OK | X_OK) != 0)
        return reason(errno);
    return {};
}

QString Check(const QString& folder)
{
    if (folder.isEmpty() || ::access(PathBytes::Encode(folder).constData(), W_OK | X_OK) == 0)
        return {};
    const int error = errno;
    QString shown = folder;
    while (shown.size() > 1 && shown.endsWith(QLatin1Char('/')))
        shown.chop(1);
    const bool gone = error == ENOENT || error == ENOTDIR || error == ENOTCONN;
    return QStringLiteral("The output folder %1 %2: %3")
        .arg(shown, gone ? QStringLiteral("is gone") : QStringLiteral("cannot be written"), reason(error));
}

} // namespace OutputFolder
