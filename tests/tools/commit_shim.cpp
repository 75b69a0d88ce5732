// Loaded into the conversion tool with LD_PRELOAD, it makes the file system refuse what some really do,
// so the tests can run the tool down each way of moving its output into place:
//   VELTRA_SHIM_REFUSE  "renameat2" refuses renameat2 with flags (EINVAL), as FUSE file systems and NFS
//                       do; "link" refuses hard links (EPERM), as FAT does; both may be named, with a
//                       comma between.
//   VELTRA_SHIM_LOG     a file each refused call appends its name to, one line each, so a test knows
//                       the tool took the way it meant to send it down.
//   VELTRA_SHIM_HOLD    a file renameat2 waits for before it does anything: the tool is held with its
//                       part file complete and not yet in place, until the test makes the file (or for
//                       good, until a signal ends it).
//   VELTRA_SHIM_HOLD_MADE  a file open waits for right after it has made a part file (".part-" in its
//                       name): the tool is held in the moment between the file's making and its next
//                       step.
//   VELTRA_SHIM_SLOW_START  milliseconds the first write to a part file takes longer: a tool that
//                       converts faster than it reports progress (every half second) still reports
//                       some before its file is done.
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

bool refused(const char* call)
{
    const char* which = std::getenv("VELTRA_SHIM_REFUSE");
    return which && std::strstr(which, call) != nullptr;
}

void note(const char* call)
{
    const char* log = std::getenv("VELTRA_SHIM_LOG");
    if (!log || !*log)
        return;
    const int fd = ::open(log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    char line[64];
    const int n = std::snprintf(line, sizeof line, "%s\n", call);
    [[maybe_unused]] const ssize_t written = ::write(fd, line, size_t(n));
    ::close(fd);
}

void hold(const char* variable)
{
    const char* until = std::getenv(variable);
    if (!until || !*until)
        return;
    // A test that went without letting it go (its folder removed, or ten minutes gone by) leaves no tool
    // waiting for ever: it goes on.
    std::string folder = until;
    folder.erase(folder.find_last_of('/') + 1);
    const timespec pause{0, 10 * 1000 * 1000};
    for (int polls = 0; ::access(until, F_OK) != 0 && polls < 60000; ++polls) {
        if (!folder.empty() && ::access(folder.c_str(), F_OK) != 0)
            break;
        ::nanosleep(&pause, nullptr);
    }
}

template <typename Function> Function next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int renameat2(int olddirfd, const char* oldpath, int newdirfd, const char* newpath,
                         unsigned int flags) noexcept
{
    hold("VELTRA_SHIM_HOLD");
    if (flags != 0 && refused("renameat2")) {
        note("renameat2");
        errno = EINVAL;
        return -1;
    }
    using Renameat2 = int (*)(int, const char*, int, const char*, unsigned int);
    static const Renameat2 real = next<Renameat2>("renameat2");
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(olddirfd, oldpath, newdirfd, newpath, flags);
}

extern "C" int link(const char* oldpath, const char* newpath) noexcept
{
    if (refused("link")) {
        note("link");
        errno = EPERM;
        return -1;
    }
    using Link = int (*)(const char*, const char*);
    static const Link real = next<Link>("link");
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(oldpath, newpath);
}

namespace {
using Open = int (*)(const char*, int, ...);

int openAndHold(Open real, const char* path, int flags, va_list args)
{
    // The mode is there only when a file may be made.
    const mode_t mode = (flags & O_CREAT) || (flags & O_TMPFILE) == O_TMPFILE ? va_arg(args, mode_t) : 0;
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    const int fd = real(path, flags, mode);
    if (fd >= 0 && (flags & O_CREAT) && std::strstr(path, ".part-"))
        hold("VELTRA_SHIM_HOLD_MADE");
    return fd;
}
} // namespace

extern "C" int open(const char* path, int flags, ...)
{
    static const Open real = next<Open>("open");
    va_list args;
    va_start(args, flags);
    const int fd = openAndHold(real, path, flags, args);
    va_end(args);
    return fd;
}

extern "C" int open64(const char* path, int flags, ...)
{
    static const Open real = next<Open>("open64");
    va_list args;
    va_start(args, flags);
    const int fd = openAndHold(real, path, flags, args);
    va_end(args);
    return fd;
}

namespace {
// The first write to a part file, by whichever call, waits VELTRA_SHIM_SLOW_START milliseconds.
void slowFirstPartWrite(int fd)
{
    static bool slowed = false;
    const char* ms = std::getenv("VELTRA_SHIM_SLOW_START");
    if (slowed || !ms || !*ms)
        return;
    char link[64];
    char target[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, target, sizeof target - 1);
    if (n <= 0)
        return;
    target[n] = '\0';
    if (!std::strstr(target, ".part-"))
        return;
    slowed = true;
    const long pause = std::atol(ms);
    const timespec wait{pause / 1000, (pause % 1000) * 1000 * 1000};
    ::nanosleep(&wait, nullptr);
}
} // namespace

extern "C" ssize_t write(int fd, const void* buffer, size_t size)
{
    using Write = ssize_t (*)(int, const void*, size_t);
    static const Write real = next<Write>("write");
    slowFirstPartWrite(fd);
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(fd, buffer, size);
}

// The muxed outputs write their part file with pwrite.
extern "C" ssize_t pwrite(int fd, const void* buffer, size_t size, off_t at)
{
    using Pwrite = ssize_t (*)(int, const void*, size_t, off_t);
    static const Pwrite real = next<Pwrite>("pwrite");
    slowFirstPartWrite(fd);
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(fd, buffer, size, at);
}

extern "C" ssize_t pwrite64(int fd, const void* buffer, size_t size, off64_t at)
{
    using Pwrite = ssize_t (*)(int, const void*, size_t, off64_t);
    static const Pwrite real = next<Pwrite>("pwrite64");
    slowFirstPartWrite(fd);
    if (!real) {
        errno = ENOSYS;
        return -1;
    }
    return real(fd, buffer, size, at);
}
