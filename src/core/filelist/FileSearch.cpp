#include "FileSearch.h"

#include "NameOrder.h"
#include "PathBytes.h"

#include <QElapsedTimer>
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

    void folder(const QString& path)
    {
        const QByteArray native = PathBytes::Encode(path);
        DIR* dir = ::opendir(native.isEmpty() ? "." : native.constData());
        if (!dir)
            return;
        struct stat self
        {};
        if (::fstat(::dirfd(dir), &self) == 0 && !visited.insert({self.st_dev, self.st_ino}).second) {
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
                subfolders.append(PathBytes::Decode(name));
                break;
            case Kind::File:
                files.append(PathBytes::Decode(name));
                break;
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
        if (subfolders.size() > kMaxSubfolders)
            subfolders.resize(kMaxSubfolders);
        for (const QString& sub : subfolders) {
            if (stopped)
                return;
            folder(prefix + sub);
        }
    }
};
} // namespace

void SearchFolder(const QString& folder, QList<QString>& target, const Yield& yield)
{
    Walk walk{&target, yield, NameOrder::Collator(), {}, {}, 0, false};
    walk.sinceYield.start();
    walk.folder(folder);
}

QString TrimNameBuffer(const QString& name)
{
    qsizetype end = name.size();
    while (end > 0 && (name[end - 1] == QChar(0) || name[end - 1] == QLatin1Char(' ')))
        --end;
    return name.left(end);
}

} // namespace FileSearch
