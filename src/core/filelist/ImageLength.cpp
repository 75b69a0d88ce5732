#include "ImageLength.h"

#include "FlacImage.h"
#include "PathBytes.h"

#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ImageLength {

namespace {
struct Fd
{
    int fd;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

bool readAt(int fd, qint64 at, char* into, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pread(fd, into + done, size - done, off_t(at + qint64(done)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

// RIFF/WAVE: the "fmt " chunk's rate and block size, the "data" chunk's size (or what the file holds of
// it, as a recorder that stopped early leaves it).
std::optional<AudioLength> waveLength(const QString& path)
{
    const Fd file{::open(PathBytes::Encode(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)};
    struct stat st
    {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    char head[12];
    if (!readAt(file.fd, 0, head, sizeof head) || memcmp(head, "RIFF", 4) != 0 || memcmp(head + 8, "WAVE", 4) != 0)
        return std::nullopt;
    int rate = 0;
    int blockAlign = 0;
    for (qint64 at = 12; at + 8 <= st.st_size;) {
        char chunk[8];
        if (!readAt(file.fd, at, chunk, sizeof chunk))
            return std::nullopt;
        const quint32 size = qFromLittleEndian<quint32>(chunk + 4);
        if (memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            char fmt[16];
            if (!readAt(file.fd, at + 8, fmt, sizeof fmt))
                return std::nullopt;
            // PCM, float and extensible PCM only: a compressed WAV's blocks are not samples.
            const quint16 format = qFromLittleEndian<quint16>(fmt);
            if (format != 1 && format != 3 && format != 0xFFFE)
                return std::nullopt;
            rate = int(qMin<quint32>(qFromLittleEndian<quint32>(fmt + 4), 1u << 24));
            blockAlign = qFromLittleEndian<quint16>(fmt + 12);
        } else if (memcmp(chunk, "data", 4) == 0) {
            if (rate <= 0 || blockAlign <= 0)
                return std::nullopt;
            const qint64 bytes = std::min<qint64>(size, st.st_size - (at + 8));
            return AudioLength{rate, bytes / blockAlign};
        }
        at += 8 + qint64(size) + (size & 1);
    }
    return std::nullopt;
}
} // namespace

std::optional<AudioLength> Read(const QString& path)
{
    if (const auto flac = FlacImage::Length(path))
        return flac;
    return waveLength(path);
}

} // namespace ImageLength
