#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// Walks a folder tree and collects the path of every regular file beneath it, in the order a file
// manager shows them (NameOrder): a folder's own files first, then its subfolders one after another,
// each completely. Links are followed, but a folder reached a second time (same device and inode) is
// not walked again, so a link loop ends. FIFOs, sockets and devices are not listed. The walk goes by
// path, one folder open at a time, so a deep tree never runs into the limit of open files.
namespace FileSearch {

// Called now and then during a long walk so the window stays responsive; false ends the walk, keeping
// what was found so far.
using Yield = std::function<bool()>;

// What a scan for music collects: only what can be music (MusicFilter), no trash folder (".Trash",
// ".Trash-1000"), and none of the folders the batch writes into that lie inside the tree, so a run never
// re-adds the last run's outputs.
struct Collect
{
    bool musicOnly = false;
    QList<QString> skipFolders;
    // Out: the files found that were left out as no music.
    int leftOut = 0;
    // Out: the folders that could not be searched (no permission, a path longer than the system takes,
    // gone meanwhile), each with the system's reason, so none is left out without a word.
    struct Unsearched
    {
        QString folder;
        QString reason;
    };
    QList<Unsearched> unsearched;
};

void SearchFolder(const QString& folder, QList<QString>& target, const Yield& yield = Yield(),
                  Collect* collect = nullptr);

// The name up to its last character that is neither NUL nor a space; "" when there is none.
QString TrimNameBuffer(const QString& name);

} // namespace FileSearch
