#include "ProcessLookup.h"

#include <QList>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace ProcessLookup {

namespace {
constexpr qsizetype kKernelNameLimit = 15;

bool isAllDigits(const char* s)
{
    if (*s == '\0')
        return false;
    for (; *s; ++s) {
        if (*s < '0' || *s > '9')
            return false;
    }
    return true;
}

QByteArray readSmallFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    char buf[512];
    ssize_t n;
    do {
        n = ::read(fd, buf, sizeof buf);
    } while (n < 0 && errno == EINTR);
    ::close(fd);
    return n > 0 ? QByteArray(buf, n) : QByteArray();
}
} // namespace

bool parseStat(const QByteArray& stat, QByteArray* imageName, char* state, pid_t* group)
{
    const qsizetype open = stat.indexOf('(');
    const qsizetype close = stat.lastIndexOf(')');
    if (open < 0 || close < open || close + 2 >= stat.size())
        return false;
    *imageName = stat.mid(open + 1, close - open - 1);
    *state = stat[close + 2];
    if (group) {
        // ") S PPID PGRP ..."
        const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
        bool ok = false;
        *group = fields.size() > 2 ? pid_t(fields[2].toLong(&ok)) : 0;
        if (!ok)
            return false;
    }
    return true;
}

namespace {
// groupWanted < 0: any group.
bool lookFor(const QString& imageName, pid_t groupWanted, const QString& procRoot)
{
    QByteArray wanted = imageName.toLower().toUtf8();
    if (wanted.size() > kKernelNameLimit)
        wanted.truncate(kKernelNameLimit);
    const QByteArray root = procRoot.toUtf8();
    DIR* dir = ::opendir(root.constData());
    if (!dir)
        return false;
    bool found = false;
    // Like a process snapshot, the walk always runs to the last entry.
    while (dirent* entry = ::readdir(dir)) {
        if (!isAllDigits(entry->d_name))
            continue;
        const QByteArray stat = readSmallFile(root + '/' + entry->d_name + "/stat");
        QByteArray name;
        char state = 0;
        pid_t group = 0;
        if (!parseStat(stat, &name, &state, groupWanted < 0 ? nullptr : &group) || state == 'Z')
            continue;
        if (name.toLower() == wanted && (groupWanted < 0 || group == groupWanted))
            found = true;
    }
    ::closedir(dir);
    return found;
}
} // namespace

bool IsProcessRunning(const QString& imageName, const QString& procRoot)
{
    return lookFor(imageName, -1, procRoot);
}

bool IsProcessRunningInGroup(const QString& imageName, pid_t group, const QString& procRoot)
{
    return group > 0 && lookFor(imageName, group, procRoot);
}

} // namespace ProcessLookup
