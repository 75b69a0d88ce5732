#include "PartFileSweep.h"

#include "PartName.h"
#include "filelist/PathBytes.h"

#include <QFileInfo>

#include <dirent.h>
#include <unistd.h>

namespace PartFileSweep {

int RemoveOwnedBy(const QByteArray& folder, pid_t pid)
{
    if (pid <= 0)
        return 0;
    const QByteArray base = folder.isEmpty() ? QByteArray(".") : folder;
    DIR* dir = ::opendir(base.constData());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (!PartName::IsPartOf(entry->d_name, long(pid)))
            continue;
        if (::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

int RemoveBeside(const QString& output, pid_t pid)
{
    return RemoveOwnedBy(PathBytes::Encode(QFileInfo(output).absolutePath()), pid);
}

} // namespace PartFileSweep
