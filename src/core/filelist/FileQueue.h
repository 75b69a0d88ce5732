#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QString>
#include <utility>

// The conversion queue: one full input path per row, row 0 converted next. The list view shows this
// same model, so the queue and what the user sees can never disagree. Columns: "FileName" (the path)
// and "Format" (the file's whole extension in capitals, "FLAC", "MP3", "RA"; nothing without one).
class FileQueue : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit FileQueue(QObject* parent = nullptr);

    static QString FormatCell(const QString& path);

    int count() const { return int(m_paths.size()); }
    bool isEmpty() const { return m_paths.isEmpty(); }
    QString at(int index) const { return m_paths.value(index); }
    const QList<QString>& paths() const { return m_paths; }

    // The append step: a new last entry; there is no duplicate or type check. root: the folder that was
    // added when the file was found by a folder search (its output keeps the tree beneath it), else "".
    void append(const QString& path, const QString& root = QString());
    void appendMany(const QList<QString>& paths, const QString& root = QString());
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
    QList<QString> m_paths;
    QList<QString> m_roots; // by row, beside m_paths
    QList<int> m_progress;  // by row, for the first rows only; -1 for none
};
