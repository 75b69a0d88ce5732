#include "ProgramPlace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace ProgramPlace {

namespace {
QString canonical(const QString& folder)
{
    const QString c = QFileInfo(folder).canonicalFilePath();
    return c.isEmpty() ? QDir::cleanPath(folder) : c;
}
} // namespace

QStringList InstallFolders()
{
    return {QStringLiteral(VELTRA_INSTALL_FOLDER), QStringLiteral(VELTRA_PACKAGE_FOLDER)};
}

bool CanWriteIn(const QString& folder)
{
    const QByteArray native = QFile::encodeName(folder);
    // An unnamed file that vanishes when closed: nothing is left behind.
    const int fd = ::open(native.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return false;
    // A file system without unnamed files: make a named one and take it away again.
    QByteArray probe = native + "/.veltra-probe-XXXXXX";
    const int named = ::mkostemp(probe.data(), O_CLOEXEC);
    if (named < 0)
        return false;
    ::close(named);
    ::unlink(probe.constData());
    return true;
}

Places For(const QString& programFolder, const QStringList& installFolders)
{
    Places p;
    const QString here = canonical(programFolder);
    for (const QString& f : installFolders)
        p.installed = p.installed || canonical(f) == here;
    p.installed = p.installed || !CanWriteIn(programFolder);
    if (!p.installed) {
        p.settingsFolder = programFolder;
        p.defaultOutputFolder = programFolder + QStringLiteral("/output");
        return p;
    }
    p.settingsFolder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                       QStringLiteral("/veltra-wma-converter");
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    const QString home = QDir::homePath();
    const QString base = !music.isEmpty() && music != home && QFileInfo(music).isDir() ? music : home;
    p.defaultOutputFolder = base + QStringLiteral("/Veltra WMA Converter");
    return p;
}

QString ExpandHome(const QString& folder)
{
    if (folder == QLatin1String("~"))
        return QDir::homePath();
    if (folder.startsWith(QLatin1String("~/")))
        return QDir::homePath() + folder.mid(1);
    return folder;
}

QString TypedOutputFolder(const QString& typed)
{
    if (typed.isEmpty())
        return typed;
    const QString folder = ExpandHome(typed);
    if (QDir::isAbsolutePath(folder))
        return folder;
    return QDir::cleanPath(QDir::home().absoluteFilePath(folder));
}

} // namespace ProgramPlace
