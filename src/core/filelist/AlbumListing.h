#pragma once

#include "CueSheet.h"
#include "FileQueue.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

// Turns files being listed into the list's entries. An album image is listed as its tracks, one entry
// each, in the sheet's order and where the image or its sheet came first: a .cue file, an audio file a
// .cue beside it names, a FLAC file that carries its sheet (a CUESHEET block or tag), and a file whose
// APE tag carries one (a "Cuesheet" item, as in Monkey's Audio and WavPack images). Every file is
// listed once, so a folder that holds "Album.flac" and "Album.cue" gives the tracks and neither file
// again. An image whose sheet cannot be used is listed whole, and the reason is noted.
//
// One listing is one user action (a pick, a drop, a folder search): what it has seen of each folder and
// each sheet is read once and kept until it ends.
class AlbumListing
{
public:
    // root: the added folder the files were found in, else "". goOn is asked every few files; once it
    // says no, the files left are listed as they are, without looking for sheets (.cue files left out).
    QList<FileQueue::Entry> List(const QStringList& paths, const QString& root, const std::function<bool()>& goOn = {});

    // What the user is told: "Album.flac is listed whole: track 03 starts before track 02",
    // "Album.cue was read as Windows-1252".
    const QStringList& notes() const { return m_notes; }

    static bool IsCueSheet(const QString& path);

private:
    using Sheet = std::shared_ptr<const CueSheet>;

    Sheet sheetFrom(const QString& cuePath);
    const QStringList& sheetsIn(const QString& folder);
    // The usable sheet beside an audio file that names it, with its path; a sheet of the file's stem that
    // cannot be used gives its reason instead.
    Sheet sheetBeside(const QString& audioPath, QString& cuePath, QString& unusable);
    void listSheet(const CueSheet& sheet, const QString& cuePath, const QString& root);
    void listWhole(const QString& path, const QString& root);

    QList<FileQueue::Entry> m_entries;
    QStringList m_notes;
    QSet<QString> m_listed;             // files already listed, whole or as tracks, and sheets read
    QHash<QString, Sheet> m_sheets;     // .cue path -> its sheet
    QHash<QString, QStringList> m_cues; // folder -> the .cue files in it
};
