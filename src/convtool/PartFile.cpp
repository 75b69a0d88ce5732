#include "PartFile.h"

#include "FatName.h"
#include "LibAv.h"
#include "NumberedName.h"
#include "PartName.h"

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// What a signal handler must remove: the part file, and an empty placeholder of our own at the output
// name while a commit on a file system without renameat2 or hard links holds one. Written only with
// signals blocked.
char g_current[4096] = {};
char g_placeholder[4096] = {};

class SignalsBlocked
{
public:
    SignalsBlocked()
    {
        sigset_t all;
        sigfillset(&all);
        sigprocmask(SIG_BLOCK, &all, &m_old);
    }
    ~SignalsBlocked() { sigprocmask(SIG_SETMASK, &m_old, nullptr); }
    SignalsBlocked(const SignalsBlocked&) = delete;
    SignalsBlocked& operator=(const SignalsBlocked&) = delete;

private:
    sigset_t m_old;
};

void remember(char (&slot)[4096], const char* path)
{
    SignalsBlocked blocked;
    std::snprintf(slot, sizeof slot, "%s", path);
}

// Six characters of the kind mkstemp uses, from the kernel's random source, or from the clock and a
// counter where that is not available: the name only has to be unlikely, O_EXCL makes it safe.
std::string randomSuffix()
{
    static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[PartName::kRandom];
    if (::getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != ssize_t(sizeof bytes)) {
        static unsigned counter = 0;
        struct timespec now
        {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        uint64_t x = static_cast<uint64_t>(now.tv_nsec) ^ (static_cast<uint64_t>(::getpid()) << 32) ^ ++counter;
        for (unsigned char& b : bytes) {
            x = x * 6364136223846793005ULL + 1442695040888963407ULL;
            b = static_cast<unsigned char>(x >> 33);
        }
    }
    std::string suffix(PartName::kRandom, 'X');
    for (size_t i = 0; i < suffix.size(); ++i)
        suffix[i] = kLetters[bytes[i] % (sizeof kLetters - 1)];
    return suffix;
}

std::string failureText(const std::string& what, int error)
{
    return what + ": " + std::strerror(error);
}

// The data reaches the disk before the name does, so a name that survives a power cut or a stick pulled
// out never holds an empty file. The folder is not synced: a rename lost that way only means the file
// converts again. 0, or the reason the data may not be on the disk.
int syncData(int fd, const std::string& path)
{
    const int own = fd >= 0 ? -1 : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && own < 0)
        return errno;
    int error = ::fdatasync(fd >= 0 ? fd : own) == 0 ? 0 : errno;
    // File systems that cannot sync have nothing to wait for.
    if (error == EINVAL || error == EROFS || error == ENOTSUP || error == ENOSYS)
        error = 0;
    if (own >= 0)
        ::close(own);
    return error;
}

// The errors with which FAT, exFAT and NTFS drivers refuse a name's characters.
bool refusesName(int error)
{
    return error == EINVAL || error == EPERM || error == ENOENT;
}
} // namespace

PartFile::PartFile(const std::string& outputPath)
{
    const size_t slash = outputPath.rfind('/');
    m_folder = slash == std::string::npos ? std::string() : outputPath.substr(0, slash + 1);
    m_name = slash == std::string::npos ? outputPath : outputPath.substr(slash + 1);
    if (create(m_folder, m_name))
        return;
    const int error = errno;
    // Decided by trying: FUSE file systems all look alike to statfs.
    if (refusesName(error) && FatName::NeedsMapping(m_name)) {
        const std::string mapped = FatName::Map(m_name);
        if (create(m_folder, mapped)) {
            m_name = mapped;
            m_mapped = true;
            return;
        }
    }
    throw LibAv::Failure{std::strerror(error)};
}

bool PartFile::create(const std::string& folder, const std::string& name)
{
    const std::string prefix = folder + PartName::Prefix(name, long(::getpid()));
    if (prefix.size() + PartName::kRandom >= sizeof g_current)
        throw LibAv::Failure{failureText("cannot write the output", ENAMETOOLONG)};
    for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
        const std::string path = prefix + randomSuffix();
        int fd;
        int error = 0;
        {
            // A stop between making the file and recording it for the handler would leave it behind.
            SignalsBlocked blocked;
            // The mode an ordinary new file gets (the umask applies), from the first moment it exists.
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0)
                std::snprintf(g_current, sizeof g_current, "%s", path.c_str());
            else
                error = errno;
        }
        if (fd >= 0) {
            m_fd = fd;
            m_path = path;
            return true;
        }
        errno = error;
        if (error != EEXIST)
            return false;
    }
    return false; // errno is EEXIST
}

PartFile::~PartFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed && !m_path.empty())
        ::unlink(m_path.c_str());
    remember(g_current, "");
}

int PartFile::takeFd()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

int PartFile::SetModified(const struct timespec& modified)
{
    // The part file is ours (made with O_EXCL), but its name is in a folder others may write to: never
    // follow a link put in its place.
    const int fd = m_fd >= 0 ? m_fd : ::open(m_path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return errno;
    const struct timespec times[2] = {{0, UTIME_OMIT}, modified};
    const int error = ::futimens(fd, times) == 0 ? 0 : errno;
    if (fd != m_fd)
        ::close(fd);
    return error;
}

void PartFile::allowReplacing(dev_t device, ino_t inode)
{
    m_replaceable = true;
    m_replaceDevice = device;
    m_replaceInode = inode;
}

bool PartFile::mayReplace(const std::string& target) const
{
    struct stat st
    {};
    return m_replaceable && ::lstat(target.c_str(), &st) == 0 && st.st_dev == m_replaceDevice &&
           st.st_ino == m_replaceInode;
}

int PartFile::place(const std::string& target)
{
    if (::renameat2(AT_FDCWD, m_path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // FUSE file systems and NFS refuse the flag: a hard link cannot replace either.
    if (::link(m_path.c_str(), target.c_str()) == 0) {
        ::unlink(m_path.c_str());
        return 0;
    }
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS && errno != EMLINK)
        return errno;
    // No hard links either (fusefat): claim the name with an empty file of our own, then rename over it.
    int fd;
    {
        SignalsBlocked blocked;
        fd = ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd >= 0)
            std::snprintf(g_placeholder, sizeof g_placeholder, "%s", target.c_str());
    }
    if (fd < 0)
        return errno;
    ::close(fd);
    // A stop between the rename and forgetting the placeholder would remove the finished output.
    SignalsBlocked blocked;
    int error = 0;
    if (::rename(m_path.c_str(), target.c_str()) != 0) {
        error = errno;
        ::unlink(target.c_str());
    }
    g_placeholder[0] = '\0';
    return error;
}

void PartFile::Commit()
{
    if (const int error = syncData(m_fd, m_path))
        throw LibAv::Failure{failureText("cannot write the output", error)};
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    for (int n = 1; n <= kMaxCounter; ++n) {
        const std::string target = m_folder + (n == 1 ? m_name : NumberedName(m_name, n));
        int error = place(target);
        if (error == EEXIST && n == 1 && mayReplace(target))
            error = ::rename(m_path.c_str(), target.c_str()) == 0 ? 0 : errno;
        if (error == 0) {
            m_committed = true;
            m_committedPath = target;
            m_counter = n;
            remember(g_current, "");
            return;
        }
        if (error != EEXIST)
            throw LibAv::Failure{std::strerror(error)};
    }
    throw LibAv::Failure{"no free name for the output beside " + m_folder + m_name};
}

void PartFile::RemoveNow()
{
    if (g_placeholder[0])
        ::unlink(g_placeholder);
    if (g_current[0])
        ::unlink(g_current);
}
