#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// Walks a folder tree and collects the path of every regular file beneath it, in the order a file
// manager shows them (NameOrder): a folder's own files first, then its subfolders one after another,
// each completely. At most 200 subfolders of one folder are walked, the first 200 in that order. Links
// are followed, but a folder reached a second time (same device and inode) is not walked again, so a
// link loop ends. FIFOs, sockets and devices are not listed.
namespace FileSearch {

constexpr int kMaxSubfolders = 200;

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
};

void SearchFolder(const QString& folder, QList<QString>& target, const Yield& yield = Yield(),
                  Collect* collect = nullptr);

// The name up to its last character that is neither NUL nor a space; "" when there is none.
QString TrimNameBuffer(const QString& name);

} // namespace FileSearch
