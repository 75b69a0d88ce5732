#include "PartFile.h"

#include "LibAv.h"
#include "PartName.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The part file a signal handler must remove; written only with signals blocked.
char g_current[4096] = {};

void setCurrent(const char* path)
{
    sigset_t all;
    sigset_t old;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old);
    std::snprintf(g_current, sizeof g_current, "%s", path);
    sigprocmask(SIG_SETMASK, &old, nullptr);
}

std::string failureText(const std::string& what, int error)
{
    return what + ": " + std::strerror(error);
}
} // namespace

PartFile::PartFile(const std::string& outputPath) : m_output(outputPath)
{
    const size_t slash = outputPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : outputPath.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? outputPath : outputPath.substr(slash + 1);
    std::string pattern = folder + PartName::Prefix(name) + "XXXXXX";
    if (pattern.size() >= sizeof g_current)
        throw LibAv::Failure{failureText("cannot write the output", ENAMETOOLONG)};
    m_fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (m_fd < 0)
        throw LibAv::Failure{std::strerror(errno)};
    m_path = pattern;
    setCurrent(m_path.c_str());
    // mkstemp makes the file private; the output is an ordinary file, as the user's umask says.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(m_fd, 0666 & ~mask);
}

PartFile::~PartFile()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed)
        ::unlink(m_path.c_str());
    setCurrent("");
}

int PartFile::takeFd()
{
    const int fd = m_fd;
    m_fd = -1;
    return fd;
}

void PartFile::Commit()
{
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (::rename(m_path.c_str(), m_output.c_str()) != 0)
        throw LibAv::Failure{std::strerror(errno)};
    m_committed = true;
    setCurrent("");
}

void PartFile::RemoveNow()
{
    if (g_current[0])
        ::unlink(g_current);
}
