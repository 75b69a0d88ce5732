#include "filelist/ListFiller.h"

#include "filelist/AlbumListing.h"
#include "filelist/FileQueue.h"
#include "filelist/FileSearch.h"
#include "filelist/PathBytes.h"
#include "ui/MsgBox.h"

#include <QCoreApplication>
#include <QElapsedTimer>

ListFiller::ListFiller(FileQueue* queue, QObject* parent) : QObject(parent), m_queue(queue) {}

void ListFiller::setBusy(bool busy)
{
    m_busy = busy;
    emit busyChanged(busy);
    if (!busy)
        addHeld();
}

void ListFiller::setScanning(bool scanning)
{
    m_scanning = scanning;
    emit scanningChanged(scanning);
}

void ListFiller::addHeld()
{
    // One at a time, in order: a folder among them is searched before the paths after it join. A scan
    // started from here ends by calling back in; the outer loop carries on instead, so nothing joins
    // twice or out of turn.
    if (m_addingHeld)
        return;
    m_addingHeld = true;
    bool added = false;
    // Files in a row are listed together, so an image and its sheet handed over side by side list once.
    QStringList files;
    const auto listFiles = [&] {
        if (files.isEmpty())
            return;
        appendListed(files, QString());
        files.clear();
        added = true;
    };
    while (!m_busy && !m_held.isEmpty()) {
        const Held h = m_held.takeFirst();
        if (h.searchFolders && PathBytes::IsDir(h.path)) {
            listFiles();
            scanFolder(h.path);
        } else {
            files.append(h.path);
        }
    }
    listFiles();
    m_addingHeld = false;
    if (added && !m_albumNotes.isEmpty())
        emit albumsNoted();
    if (added) {
        QCoreApplication::processEvents();
        emit listUpdated();
    }
}

QStringList ListFiller::carried(const QStringList& paths)
{
    // A path that would reach the system as other bytes than it names is never listed: it would fail, or
    // convert a look-alike.
    QStringList kept;
    for (const QString& p : paths) {
        const QString why = PathBytes::Refusal(p);
        if (why.isEmpty())
            kept.append(p);
        else
            MsgBox::show(QStringLiteral("%1 cannot be added: %2").arg(PathBytes::Display(p), why),
                         MsgBox::Icon::Exclamation);
    }
    return kept;
}

void ListFiller::addFiles(const QStringList& given)
{
    const QStringList paths = carried(given);
    // Files that arrive while the list is being filled or emptied wait for that to end, so none is lost.
    if (m_busy) {
        for (const QString& p : paths)
            m_held.append({p, false});
        return;
    }
    forgetLastSearch();
    appendListed(paths, QString());
    if (!m_albumNotes.isEmpty())
        emit albumsNoted();
    if (m_queue->count() >= 1) {
        QCoreApplication::processEvents();
        emit listUpdated();
    }
}

void ListFiller::appendListed(const QStringList& paths, const QString& root, const std::function<bool()>& goOn)
{
    AlbumListing albums;
    m_queue->appendEntries(albums.List(paths, root, goOn));
    m_albumNotes += albums.notes();
}

void ListFiller::addPaths(const QStringList& paths)
{
    if (!m_busy)
        forgetLastSearch();
    for (const QString& p : carried(paths))
        m_held.append({p, true});
    addHeld();
}

void ListFiller::scanFolder(const QString& folder)
{
    if (m_busy)
        return;
    m_scanStopped = false;
    setScanning(true);
    setBusy(true);
    if (!m_addingHeld)
        forgetLastSearch();
    if (!folder.isEmpty()) {
        lstAddFolder.clear();
        FileSearch::Collect collect;
        collect.musicOnly = true;
        if (m_skipFolders)
            collect.skipFolders = m_skipFolders();
        // The events let through during the walk may stop it; what was found so far is kept.
        FileSearch::SearchFolder(
            folder, lstAddFolder,
            [this] {
                QCoreApplication::processEvents();
                return !m_scanStopped;
            },
            &collect);
        m_leftOut += collect.leftOut;
        m_unsearched += collect.unsearched;
        QString root = folder;
        while (root.size() > 1 && root.endsWith(QLatin1Char('/')))
            root.chop(1);
        // Events go on while the images among them are read; a stop lists the rest as they are.
        appendListed(lstAddFolder, root, [this] {
            QCoreApplication::processEvents();
            return !m_scanStopped;
        });
        lstAddFolder.clear();
    }
    setScanning(false);
    setBusy(false);
    emit listUpdated();
}

QString ListFiller::searchSummary() const
{
    QStringList parts;
    if (m_leftOut > 0)
        parts.append(m_leftOut == 1 ? QStringLiteral("1 other file was not added.")
                                    : QStringLiteral("%1 other files were not added.").arg(m_leftOut));
    if (!m_unsearched.isEmpty())
        parts.append(m_unsearched.size() == 1
                         ? QStringLiteral("1 folder could not be searched.")
                         : QStringLiteral("%1 folders could not be searched.").arg(m_unsearched.size()));
    for (const QString& note : m_albumNotes)
        parts.append(note.endsWith(QLatin1Char('.')) ? note : note + QLatin1Char('.'));
    return parts.join(QLatin1Char(' '));
}

QString ListFiller::unsearchedDetails() const
{
    QString text;
    for (const FileSearch::Collect::Unsearched& u : m_unsearched)
        text += PathBytes::Display(u.folder) + QStringLiteral("\n    ") + u.reason + QLatin1Char('\n');
    return text;
}

void ListFiller::forgetLastSearch()
{
    m_leftOut = 0;
    m_unsearched.clear();
    m_albumNotes.clear();
}

void ListFiller::stopScan()
{
    if (m_scanning)
        m_scanStopped = true;
}

void ListFiller::removeAll()
{
    if (m_busy)
        return;
    setBusy(true);
    // Rows go from the top in growing slices, with the program's events let through every 15 ms, so a
    // long list visibly empties while the window stays responsive.
    int left = m_queue->count();
    int slice = 1;
    QElapsedTimer sinceYield;
    sinceYield.start();
    while (left > 0) {
        const int n = qMin(slice, left);
        m_queue->removeFirst(n);
        left -= n;
        if (sinceYield.elapsed() >= 15) {
            QCoreApplication::processEvents();
            sinceYield.restart();
        } else {
            slice = qMin(slice * 2, 8192);
        }
    }
    m_queue->clear();
    emit listUpdated();
    setBusy(false);
}
