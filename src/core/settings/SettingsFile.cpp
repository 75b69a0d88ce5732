#include "SettingsFile.h"

#include "ui/MsgBox.h"

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SettingsFile {

namespace {
// 0 when the folder is there (made if need be, every level), else the reason.
int makeFolder(const QByteArray& folder)
{
    struct stat st;
    if (::stat(folder.constData(), &st) == 0)
        return S_ISDIR(st.st_mode) ? 0 : ENOTDIR;
    const qsizetype slash = folder.lastIndexOf('/');
    if (slash > 0) {
        if (const int parent = makeFolder(folder.left(slash)))
            return parent;
    }
    if (::mkdir(folder.constData(), 0777) != 0 && errno != EEXIST)
        return errno;
    return 0;
}

// 0 when the bytes replaced the file, else the reason. The new file is written beside the old one and
// renamed over it, so a failure halfway leaves the old settings whole.
int replace(const QByteArray& path, const QByteArray& bytes)
{
    struct stat st;
    if (::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return EISDIR;
    QByteArray temporary = path + ".XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return errno;
    int error = 0;
    ::fchmod(fd, 0644);
    for (qsizetype done = 0; done < bytes.size() && !error;) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno != EINTR)
            error = errno;
        else if (n > 0)
            done += n;
    }
    if (::close(fd) != 0 && !error)
        error = errno;
    if (!error && ::rename(temporary.constData(), path.constData()) != 0)
        error = errno;
    if (error)
        ::unlink(temporary.constData());
    return error;
}
} // namespace

bool Write(const QString& path, const QByteArray& bytes)
{
    // A link to the settings (into a folder of dotfiles, say) stays a link: its target is written.
    const QString target = QFileInfo(path).isSymLink() && !QFileInfo(path).canonicalFilePath().isEmpty()
                               ? QFileInfo(path).canonicalFilePath()
                               : path;
    const QByteArray native = QFile::encodeName(target);
    const qsizetype slash = native.lastIndexOf('/');
    int error = slash > 0 ? makeFolder(native.left(slash)) : 0;
    if (!error)
        error = replace(native, bytes);
    if (!error)
        return true;
    MsgBox::show(QStringLiteral("The settings could not be saved to %1:\n%2.")
                     .arg(path, QString::fromLocal8Bit(std::strerror(error))),
                 MsgBox::Icon::Warning);
    return false;
}

} // namespace SettingsFile
