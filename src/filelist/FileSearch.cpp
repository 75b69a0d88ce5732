#include "FileSearch.h"

#include <QElapsedTimer>
#include <QFile>
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

struct Walk
{
    const Yield& yield;
    std::set<std::pair<dev_t, ino_t>> visited;
    QElapsedTimer sinceYield;
    int entriesSinceYield = 0;

    void maybeYield()
    {
        if (yield && (++entriesSinceYield >= kYieldEveryEntries || sinceYield.elapsed() >= kYieldEveryMs)) {
            yield();
            sinceYield.restart();
            entriesSinceYield = 0;
        }
    }

    void folder(const QString& path)
    {
        const QByteArray native = QFile::encodeName(path);
        DIR* dir = ::opendir(native.isEmpty() ? "." : native.constData());
        if (!dir)
            return;
        struct stat self
        {};
        if (::fstat(::dirfd(dir), &self) == 0 && !visited.insert({self.st_dev, self.st_ino}).second) {
            ::closedir(dir);
            return;
        }
        const QString prefix = path.endsWith(QLatin1Char('/')) ? path : path + QLatin1Char('/');
        QList<QString> subfolders;
        int seen = 0;
        while (dirent* entry = ::readdir(dir)) {
            const char* name = entry->d_name;
            if (name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0')))
                continue;
            bool isDir = entry->d_type == DT_DIR;
            if (entry->d_type == DT_LNK || entry->d_type == DT_UNKNOWN) {
                struct stat st
                {};
                isDir = ::fstatat(::dirfd(dir), name, &st, 0) == 0 && S_ISDIR(st.st_mode);
            }
            // readdir hands over the exact name, not a padded buffer: a name may end in a space.
            const QString full = prefix + QFile::decodeName(name);
            if (isDir) {
                if (++seen <= kMaxSubfolders)
                    subfolders.append(full);
            } else {
                target->append(full);
            }
            maybeYield();
        }
        ::closedir(dir);
        for (const QString& sub : subfolders)
            folder(sub);
    }

    QList<QString>* target = nullptr;
};
} // namespace

void SearchFolder(const QString& folder, QList<QString>& target, const Yield& yield)
{
    Walk walk{yield, {}, {}, 0};
    walk.target = &target;
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
