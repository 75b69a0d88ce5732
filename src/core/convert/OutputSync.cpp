#include "OutputSync.h"

#include "filelist/PathBytes.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

OutputSync::~OutputSync()
{
    for (const Folder& f : std::as_const(m_folders))
        ::close(f.fd);
}

void OutputSync::add(const QString& outputPath)
{
    const QString folder = QFileInfo(outputPath).absolutePath();
    const QByteArray bytes = PathBytes::Encode(folder);
    struct stat st
    {};
    if (::stat(bytes.constData(), &st) != 0 || m_folders.contains(st.st_dev))
        return;
    const int fd = ::open(bytes.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    m_folders.insert(st.st_dev, {folder, fd});
}

QList<OutputSync::Problem> OutputSync::syncAll()
{
    QList<Problem> problems;
    for (const Folder& f : std::as_const(m_folders)) {
        if (::syncfs(f.fd) != 0 && errno != EINVAL && errno != ENOTSUP && errno != ENOSYS)
            problems.append({f.path, QString::fromLocal8Bit(std::strerror(errno))});
        ::close(f.fd);
    }
    m_folders.clear();
    return problems;
}
