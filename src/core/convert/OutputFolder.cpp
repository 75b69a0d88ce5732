#include "OutputFolder.h"

#include "filelist/PathBytes.h"

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
            return reason(error);
    }
    if (const int error = MakeLevel(path))
        return reason(error);
    // A folder that exists may still refuse new files: a read-only mount, another user's folder.
    if (::access(path.constData(), W_OK | X_OK) != 0)
        return reason(errno);
    return {};
}

} // namespace OutputFolder
