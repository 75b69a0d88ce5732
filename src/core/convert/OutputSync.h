#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <sys/types.h>

// Writes out, once per batch, every file system the batch put an output on, before the batch says it is
// done: a stick pulled after "Done" must not keep names whose data never reached it. Each output's data
// is synced by the tool before its commit; what is left is the folder entries and the rest of the file
// system's own records, so the wait at the end stays short (bench/pack_bench measures it).
class OutputSync
{
public:
    OutputSync() = default;
    ~OutputSync();
    OutputSync(const OutputSync&) = delete;
    OutputSync& operator=(const OutputSync&) = delete;

    // An output was written at this path: its file system joins the batch's, once. A folder that cannot
    // be opened any more (gone already) is left out: nothing of it can be synced.
    void add(const QString& outputPath);
    int fileSystems() const { return int(m_folders.size()); }

    // What could not be written out: one entry per file system that failed, the folder it was reached
    // by and the system's reason. A file system that cannot be synced at all (EINVAL, ENOTSUP: some FUSE
    // and vfat mounts) counts as done. Forgets every file system afterwards.
    struct Problem
    {
        QString folder;
        QString reason;
    };
    QList<Problem> syncAll();

private:
    struct Folder
    {
        QString path;
        int fd = -1;
    };
    QHash<dev_t, Folder> m_folders; // one open folder per file system
};
