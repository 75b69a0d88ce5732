#include "FileSearch.h"

#include "MusicFilter.h"
#include "NameOrder.h"
#include "PathBytes.h"

#include <QElapsedTimer>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <utility>

namespace FileSearch {

namespace {
// The window gets its events every 15 ms, or every 1024 entries on a quick disk; yielding after every
// entry would cost more than the walk itself.
constexpr qint64 kYieldEveryMs = 15;
constexpr int kYieldEveryEntries = 1024;

enum class Kind { File, Folder, Other };

// The desktop's trash: ".Trash" in the home folder, ".Trash-UID" at the top of a drive.
bool isTrash(const char* name)
{
    if (std::strncmp(name, ".Trash", 6) != 0)
        return false;
    if (name[6] == '\0')
        return true;
    if (name[6] != '-' || name[7] == '\0')
        return false;
    for (const char* c = name + 7; *c; ++c) {
        if (*c < '0' || *c > '9')
            return false;
    }
    return true;
}

// Links are followed. Only regular files are listed: a FIFO would block the tool's open() for ever, and
// sockets and devices are no music.
Kind kindOf(int dirFd, const dirent& entry)
{
    switch (entry.d_type) {
    case DT_REG:
        return Kind::File;
    case DT_DIR:
        return Kind::Folder;
    case DT_LNK:
    case DT_UNKNOWN:
        break;
    default:
        return Kind::Other;
    }
    struct stat st
    {};
    if (::fstatat(dirFd, entry.d_name, &st, 0) != 0)
        return Kind::Other;
    if (S_ISDIR(st.st_mode))
        return Kind::Folder;
    return S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
}

struct Walk
{
    QList<QString>* target;
    const Yield& yield;
    QCollator collator;
    std::set<std::pair<dev_t, ino_t>> visited;
    Collect* collect = nullptr;
    std::set<std::pair<dev_t, ino_t>> skipped;
    MusicFilter music;
    QElapsedTimer sinceYield;
    int entriesSinceYield = 0;

    bool stopped = false;

    void maybeYield()
    {
        if (yield && (++entriesSinceYield >= kYieldEveryEntries || sinceYield.elapsed() >= kYieldEveryMs)) {
            stopped = !yield();
            sinceYield.restart();
            entriesSinceYield = 0;
        }
    }

    void folder(const QString& path, bool top = false)
    {
        const QByteArray native = PathBytes::Encode(path);
        DIR* dir = ::opendir(native.isEmpty() ? "." : native.constData());
        if (!dir) {
            // Past PATH_MAX the system refuses the path (ENAMETOOLONG) before it looks at the folder.
            if (collect)
                collect->unsearched.append({path, QString::fromLocal8Bit(std::strerror(errno))});
            return;
        }
        struct stat self
        {};
        if (::fstat(::dirfd(dir), &self) == 0 && (!visited.insert({self.st_dev, self.st_ino}).second ||
                                                  (!top && skipped.count({self.st_dev, self.st_ino})))) {
            ::closedir(dir);
            return;
        }
        QList<QString> files;
        QList<QString> subfolders;
        while (dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            // readdir hands over the exact name, not a padded buffer: a name may end in a space.
            switch (kindOf(::dirfd(dir), *entry)) {
            case Kind::Folder:
                if (!(collect && collect->musicOnly && isTrash(name)))
                    subfolders.append(PathBytes::Decode(name));
                break;
            case Kind::File: {
                QString decoded = PathBytes::Decode(name);
                if (collect && collect->musicOnly && !music.CanBeMusic(decoded))
                    ++collect->leftOut;
                else
                    files.append(std::move(decoded));
                break;
            }
            case Kind::Other:
                break;
            }
            maybeYield();
            if (stopped)
                break;
        }
        ::closedir(dir);

        const QString prefix = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        NameOrder::Sort(files, collator);
        for (const QString& f : files)
            target->append(prefix + f);
        NameOrder::Sort(subfolders, collator);
        for (const QString& sub : subfolders) {
            if (stopped)
                return;
            folder(prefix + sub);
        }
    }
};
} // namespace

void SearchFolder(const QString& folder, QList<QString>& target, const Yield& yield, Collect* collect)
{
    Walk walk{&target, yield, NameOrder::Collator(), {}, collect, {}, {}, {}, 0, false};
    if (collect) {
        for (const QString& skip : collect->skipFolders) {
            struct stat st
            {};
            if (!skip.isEmpty() && ::stat(PathBytes::Encode(skip).constData(), &st) == 0 && S_ISDIR(st.st_mode))
                walk.skipped.insert({st.st_dev, st.st_ino});
        }
    }
    walk.sinceYield.start();
    // The folder the user added is searched even when it is the output folder itself: only what lies
    // inside the tree is the batch's, not what the user chose.
    walk.folder(folder, true);
}

QString TrimNameBuffer(const QString& name)
{
    qsizetype end = name.size();
    while (end > 0 && (name[end - 1] == QChar(0) || name[end - 1] == QLatin1Char(' ')))
        --end;
    return name.left(end);
}

} // namespace FileSearch
