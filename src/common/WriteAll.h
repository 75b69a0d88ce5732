#pragma once

#include <cerrno>
#include <cstddef>
#include <poll.h>
#include <unistd.h>

// Writes every byte, going on where a signal or a full pipe interrupted the call. False, with errno
// telling why, when the descriptor takes no more (a full disk, a reader that has gone away).
inline bool WriteAll(int fd, const void* data, size_t size)
{
    const char* bytes = static_cast<const char*>(data);
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n > 0) {
            done += size_t(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            pollfd ready{fd, POLLOUT, 0};
            ::poll(&ready, 1, -1);
        } else {
            if (n == 0)
                errno = EIO;
            return false;
        }
    }
    return true;
}
