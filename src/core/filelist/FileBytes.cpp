#include "FileBytes.h"

#include "PathBytes.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

FileBytes::FileBytes(const QString& path)
{
    m_fd = ::open(PathBytes::Encode(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat st
    {};
    if (m_fd >= 0 && (::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))) {
        ::close(m_fd);
        m_fd = -1;
    }
    m_size = m_fd >= 0 ? qint64(st.st_size) : 0;
}

FileBytes::FileBytes(QByteArrayView bytes) : m_memory(true), m_bytes(bytes), m_size(bytes.size()) {}

FileBytes::~FileBytes()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool FileBytes::Read(qint64 at, char* into, qint64 size) const
{
    if (at < 0 || size < 0 || at > m_size || size > m_size - at)
        return false;
    if (m_memory) {
        if (size > 0)
            memcpy(into, m_bytes.data() + at, size_t(size));
        return true;
    }
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::pread(m_fd, into + done, size_t(size - done), off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += n;
    }
    return isOpen();
}

QByteArray FileBytes::Read(qint64 at, qint64 limit) const
{
    if (at < 0 || limit <= 0 || at >= m_size)
        return {};
    QByteArray bytes(std::min(limit, m_size - at), Qt::Uninitialized);
    if (!Read(at, bytes.data(), bytes.size()))
        return {};
    return bytes;
}
