#pragma once

#include "CueSheet.h"

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <memory>
#include <utility>

// The conversion queue, row 0 converted next. Each row is an input reference: a file's full path, or
// for a track of an album image "PATH#N" (N its number), with the track's range and tags beside it. The
// batch, its output names and its duplicate rules go by the reference, so the tracks of one image stay
// apart; only what reaches the system uses the path. The list view shows this same model, so the queue
// and what the user sees can never disagree. Columns: "FileName" (the path; "PATH - 03 Title" for a
// track) and "Format" (the file's whole extension in capitals, "FLAC", "MP3", "RA"; nothing without one).
class FileQueue : public QAbstractTableModel
{
    Q_OBJECT
public:
    // One row: the file, the folder added when a folder search found it (its output keeps the tree
    // beneath it, else ""), and the image's track it stands for, if any.
    struct Entry
    {
        QString path;
        QString root;
        std::shared_ptr<const CueTrack> track;

        // "PATH#N" for a range of an image; the path for a whole file, a track alone in its file included.
        QString reference() const;
    };

    explicit FileQueue(QObject* parent = nullptr);

    static QString FormatCell(const QString& path);

    int count() const { return int(m_paths.size()); }
    bool isEmpty() const { return m_paths.isEmpty(); }
    // The row's reference.
    QString at(int index) const { return m_paths.value(index); }
    const QList<QString>& paths() const { return m_paths; }
    // The file the row's reference reads from.
    QString pathAt(int index) const;
    Entry entryAt(int index) const;

    // The append step: a new last entry; there is no duplicate or type check.
    void append(const QString& path, const QString& root = QString());
    void append(const Entry& entry);
    void appendMany(const QList<QString>& paths, const QString& root = QString());
    void appendEntries(const QList<Entry>& entries);
    QString rootAt(int index) const { return m_roots.value(index); }
    void removeAt(int index);
    // Removes every row of the given ranges (first and last row, inclusive; any order, overlaps allowed) in
    // one step: a single block goes as removed rows, scattered rows reset the model once, since one
    // removal per range costs a view work proportional to the whole list each time.
    void removeRanges(QList<std::pair<int, int>> ranges);
    // Removes the first n rows in one step.
    void removeFirst(int n);
    void clear();

    // While several files convert at once, the rows being converted show how far each has come.
    static constexpr int ProgressRole = Qt::UserRole + 1;
    // The progress of a row whose loudness is being measured before it converts: it shows "analysing".
    static constexpr int kAnalysing = -2;
    void setRowProgress(int row, int percent);
    void clearProgress();
    // The percentage shown on a row, or -1.
    int rowProgress(int row) const { return m_progress.value(row, -1); }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QList<QString> m_paths;                          // references
    QList<QString> m_roots;                          // by row, beside m_paths
    QList<std::shared_ptr<const CueTrack>> m_tracks; // by row; null for a whole file
    QList<int> m_progress;                           // by row, for the first rows only; -1 for none
};
