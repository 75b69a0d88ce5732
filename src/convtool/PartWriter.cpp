#include "PartWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int kBufferBytes = 64 * 1024;
} // namespace

PartWriter::PartWriter(const std::string& path)
{
    m_fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (m_fd < 0)
        throw LibAv::Failure{std::strerror(errno)};
    auto* buffer = static_cast<unsigned char*>(av_malloc(kBufferBytes));
    if (buffer)
        m_io = avio_alloc_context(buffer, kBufferBytes, 1, this, nullptr, &PartWriter::writePacket, &PartWriter::seek);
    if (!m_io) {
        av_free(buffer);
        ::close(m_fd);
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
    }
}

PartWriter::~PartWriter()
{
    if (m_io) {
        // The context may have replaced the buffer it was given.
        av_freep(&m_io->buffer);
        avio_context_free(&m_io);
    }
    if (m_fd >= 0)
        ::close(m_fd);
}

int PartWriter::writeOut(const uint8_t* data, int64_t size, int64_t at)
{
    while (size > 0) {
        const ssize_t n = ::pwrite(m_fd, data, size_t(size), off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return AVERROR(n < 0 ? errno : EIO);
        data += n;
        size -= n;
        at += n;
    }
    return 0;
}

int PartWriter::writeWaiting()
{
    // At least kGuard bytes now follow each of them: none is in the file's last cluster.
    for (const Rewrite& r : m_waiting) {
        if (const int error = writeOut(r.bytes.data(), int64_t(r.bytes.size()), r.at); error < 0)
            return error;
    }
    m_waiting.clear();
    return 0;
}

int PartWriter::flushTail(int64_t keep)
{
    const int64_t out = int64_t(m_tail.size()) - keep;
    if (out <= 0)
        return 0;
    if (const int error = writeOut(m_tail.data(), out, m_onDisk); error < 0)
        return error;
    m_tail.erase(m_tail.begin(), m_tail.begin() + out);
    m_onDisk += out;
    return writeWaiting();
}

int PartWriter::write(const uint8_t* data, int64_t size, int64_t at)
{
    const int64_t settled = std::max<int64_t>(0, m_onDisk - kGuard);
    if (at < settled) {
        const int64_t n = std::min(size, settled - at);
        if (const int error = writeOut(data, n, at); error < 0)
            return error;
        data += n;
        size -= n;
        at += n;
    }
    if (size > 0 && at < m_onDisk) {
        const int64_t n = std::min(size, m_onDisk - at);
        m_waiting.push_back({at, std::vector<uint8_t>(data, data + n)});
        data += n;
        size -= n;
        at += n;
    }
    if (size > 0) {
        const size_t from = size_t(at - m_onDisk);
        if (m_tail.size() < from + size_t(size))
            m_tail.resize(from + size_t(size));
        std::memcpy(m_tail.data() + from, data, size_t(size));
    }
    return int64_t(m_tail.size()) > 2 * kGuard ? flushTail(kGuard) : 0;
}

int PartWriter::writePacket(void* opaque, uint8_t* data, int size)
{
    auto* self = static_cast<PartWriter*>(opaque);
    if (const int error = self->write(data, size, self->m_position); error < 0)
        return error;
    self->m_position += size;
    return size;
}

int64_t PartWriter::moveTo(int64_t target)
{
    if (target < 0)
        return AVERROR(EINVAL);
    // Zeros up to the target, a stretch at a time, so a large room kept is never all in memory.
    while (length() < target) {
        m_tail.resize(m_tail.size() + size_t(std::min(target - length(), kGuard)));
        if (int64_t(m_tail.size()) > 2 * kGuard) {
            if (const int error = flushTail(kGuard); error < 0)
                return error;
        }
    }
    m_position = target;
    return target;
}

int64_t PartWriter::seek(void* opaque, int64_t offset, int whence)
{
    auto* self = static_cast<PartWriter*>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return self->length();
    case SEEK_SET:
        return self->moveTo(offset);
    case SEEK_CUR:
        return self->moveTo(self->m_position + offset);
    case SEEK_END:
        return self->moveTo(self->length() + offset);
    default:
        return AVERROR(EINVAL);
    }
}

std::vector<uint8_t> PartWriter::Read(int64_t at, int64_t size)
{
    avio_flush(m_io);
    if (m_io->error < 0)
        throw LibAv::Failure{LibAv::Reason(m_io->error)};
    if (at < 0 || size < 0 || at + size > length())
        throw LibAv::Failure{"cannot read back what was written: it is shorter than expected"};
    std::vector<uint8_t> bytes(size_t(size), 0);
    // The file up to what it holds, then the rewrites waiting for it, in order, then the tail.
    for (int64_t done = 0; done < std::min(size, m_onDisk - at);) {
        const ssize_t n =
            ::pread(m_fd, bytes.data() + done, size_t(std::min(size, m_onDisk - at) - done), off_t(at + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw LibAv::Failure{"cannot read back what was written: " +
                                 std::string(n < 0 ? std::strerror(errno) : "the file is short")};
        done += n;
    }
    const auto overlay = [&](int64_t from, const uint8_t* data, int64_t count) {
        const int64_t lo = std::max(from, at);
        const int64_t hi = std::min(from + count, at + size);
        if (lo < hi)
            std::memcpy(bytes.data() + (lo - at), data + (lo - from), size_t(hi - lo));
    };
    for (const Rewrite& r : m_waiting)
        overlay(r.at, r.bytes.data(), int64_t(r.bytes.size()));
    overlay(m_onDisk, m_tail.data(), int64_t(m_tail.size()));
    return bytes;
}

void PartWriter::Patch(int64_t at, const std::vector<uint8_t>& bytes)
{
    avio_flush(m_io);
    if (at < 0 || at + int64_t(bytes.size()) > length())
        throw LibAv::Failure{"cannot change what was written: it is shorter than expected"};
    if (const int error = write(bytes.data(), int64_t(bytes.size()), at); error < 0)
        throw LibAv::Failure{LibAv::Reason(error)};
}

void PartWriter::Close()
{
    avio_flush(m_io);
    if (m_io->error < 0)
        throw LibAv::Failure{LibAv::Reason(m_io->error)};
    int error = writeOut(m_tail.data(), int64_t(m_tail.size()), m_onDisk);
    if (error == 0)
        error = writeWaiting();
    if (error < 0)
        throw LibAv::Failure{LibAv::Reason(error)};
    const int fd = m_fd;
    m_fd = -1;
    // Network file systems report a failed write as late as this.
    if (::close(fd) != 0 && errno != EINTR)
        throw LibAv::Failure{std::strerror(errno)};
}
