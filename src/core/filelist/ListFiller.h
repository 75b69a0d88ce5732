#pragma once

#include "filelist/FileSearch.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <functional>

class FileQueue;

// Fills and empties the conversion queue: files as they come, folders searched, Remove All. Whatever
// way files arrive, an album image among them is listed as its tracks (AlbumListing). A folder
// search and Remove All run inside the call, letting the program's events through as they go; while one
// runs the list is busy, and paths handed in meanwhile are held and join, in their order, when it ends.
class ListFiller : public QObject
{
    Q_OBJECT
public:
    // The queue is not owned and must outlive the filler.
    explicit ListFiller(FileQueue* queue, QObject* parent = nullptr);

    // A folder search or Remove All is running: commands that change the list wait.
    bool isBusy() const { return m_busy; }
    bool isScanning() const { return m_scanning; }

    // Files join as they are, folders included, as a drop adds them.
    void addFiles(const QStringList& paths);
    // Files join as they are; folders are searched as Add Folder searches them, each before the paths
    // after it join. For the command line and a second start handing its files over.
    void addPaths(const QStringList& paths);
    // Searches the folder and appends every file beneath it that can be music, each remembering the
    // folder; "" (a cancelled choice) appends nothing. Nothing happens while the list is busy.
    void scanFolder(const QString& folder);
    // The folders a search never walks (where the batch writes), asked when each search starts.
    void setSkipFolders(std::function<QList<QString>()> folders) { m_skipFolders = std::move(folders); }
    // Files the last searches found and left out as no music; searches handed over together add up.
    int leftOut() const { return m_leftOut; }
    // The folders the last searches could not open, with the reason; added up as leftOut is.
    const QList<FileSearch::Collect::Unsearched>& unsearched() const { return m_unsearched; }
    // What the status line says after a search: "214 other files were not added.", "2 folders could not
    // be searched.", both, or nothing; then what the last listing said of album images (albumNotes).
    QString searchSummary() const;
    // Album images of the last files added that are listed whole, each with the reason, and sheets read
    // in an encoding other than UTF-8; forgotten when the next files are added.
    const QStringList& albumNotes() const { return m_albumNotes; }
    // Each folder that could not be searched, on a line of its own with its reason indented below it.
    QString unsearchedDetails() const;
    // Empties the list; nothing happens while it is busy.
    void removeAll();
    // Ends a running folder search, keeping what it found so far.
    void stopScan();

signals:
    void busyChanged(bool busy);
    // A scan begins (the placard says it is searching) or ends.
    void scanningChanged(bool scanning);
    // Files joined or the list was emptied: the moments to show or hide the placard.
    void listUpdated();
    // Files added without a search produced album notes (a search says them in its summary).
    void albumsNoted();

private:
    // Paths held while busy; a folder among those handed over is searched when its turn comes.
    struct Held
    {
        QString path;
        bool searchFolders;
    };

    // The paths that name exactly the bytes they stand for; each other one is refused with a message.
    static QStringList carried(const QStringList& paths);
    void setBusy(bool busy);
    void setScanning(bool scanning);
    void addHeld();
    void forgetLastSearch();
    // Appends the files, album images as their tracks; goOn as AlbumListing takes it.
    void appendListed(const QStringList& paths, const QString& root, const std::function<bool()>& goOn = {});

    FileQueue* m_queue;
    bool m_busy = false;
    bool m_scanning = false;
    bool m_scanStopped = false;
    QList<Held> m_held;
    std::function<QList<QString>()> m_skipFolders;
    int m_leftOut = 0;
    QList<FileSearch::Collect::Unsearched> m_unsearched;
    QStringList m_albumNotes;
    bool m_addingHeld = false;
    // What the running scan has found so far.
    QList<QString> lstAddFolder;
};
