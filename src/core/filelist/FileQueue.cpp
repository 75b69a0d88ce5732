#include "FileQueue.h"

#include "GetFile.h"
#include "TrackName.h"
#include "filelist/PathBytes.h"

#include <algorithm>

FileQueue::FileQueue(QObject* parent) : QAbstractTableModel(parent) {}

QString FileQueue::FormatCell(const QString& path)
{
    return GetFile::ParseExtension(path.trimmed()).toUpper();
}

QString FileQueue::Entry::reference() const
{
    if (!track || track->wholeFile)
        return path;
    return path + QLatin1Char('#') + QString::number(track->number);
}

QString FileQueue::pathAt(int index) const
{
    const std::shared_ptr<const CueTrack>& track = m_tracks.value(index);
    return track ? track->audioPath : m_paths.value(index);
}

FileQueue::Entry FileQueue::entryAt(int index) const
{
    return {pathAt(index), m_roots.value(index), m_tracks.value(index)};
}

void FileQueue::append(const QString& path, const QString& root)
{
    append(Entry{path, root, nullptr});
}

void FileQueue::append(const Entry& entry)
{
    const int row = count();
    beginInsertRows(QModelIndex(), row, row);
    m_paths.append(entry.reference());
    m_roots.append(entry.root);
    m_tracks.append(entry.track);
    endInsertRows();
}

void FileQueue::appendMany(const QList<QString>& paths, const QString& root)
{
    if (paths.isEmpty())
        return;
    const int row = count();
    beginInsertRows(QModelIndex(), row, row + int(paths.size()) - 1);
    m_paths.append(paths);
    m_roots.insert(m_roots.size(), paths.size(), root);
    m_tracks.insert(m_tracks.size(), paths.size(), nullptr);
    endInsertRows();
}

void FileQueue::appendEntries(const QList<Entry>& entries)
{
    if (entries.isEmpty())
        return;
    const int row = count();
    beginInsertRows(QModelIndex(), row, row + int(entries.size()) - 1);
    for (const Entry& e : entries) {
        m_paths.append(e.reference());
        m_roots.append(e.root);
        m_tracks.append(e.track);
    }
    endInsertRows();
}

void FileQueue::removeAt(int index)
{
    if (index < 0 || index >= count())
        return;
    beginRemoveRows(QModelIndex(), index, index);
    m_paths.removeAt(index);
    m_roots.removeAt(index);
    m_tracks.removeAt(index);
    if (index < m_progress.size())
        m_progress.removeAt(index);
    endRemoveRows();
}

void FileQueue::removeRanges(QList<std::pair<int, int>> ranges)
{
    const int rows = count();
    QList<std::pair<int, int>> merged;
    std::sort(ranges.begin(), ranges.end());
    for (auto [first, last] : ranges) {
        first = qMax(first, 0);
        last = qMin(last, rows - 1);
        if (first > last)
            continue;
        if (!merged.isEmpty() && first <= merged.last().second + 1)
            merged.last().second = qMax(merged.last().second, last);
        else
            merged.append({first, last});
    }
    if (merged.isEmpty())
        return;
    if (merged.size() == 1) {
        const auto [first, last] = merged.first();
        beginRemoveRows(QModelIndex(), first, last);
        m_paths.remove(first, last - first + 1);
        m_roots.remove(first, last - first + 1);
        m_tracks.remove(first, last - first + 1);
        if (first < m_progress.size())
            m_progress.remove(first, qMin(last + 1, int(m_progress.size())) - first);
        endRemoveRows();
        return;
    }
    beginResetModel();
    QList<QString> kept;
    QList<QString> keptRoots;
    QList<std::shared_ptr<const CueTrack>> keptTracks;
    QList<int> keptProgress;
    kept.reserve(rows);
    keptRoots.reserve(rows);
    keptTracks.reserve(rows);
    int next = 0;
    const auto keep = [&](int from, int to) {
        for (int row = from; row < to; ++row) {
            kept.append(std::move(m_paths[row]));
            keptRoots.append(std::move(m_roots[row]));
            keptTracks.append(std::move(m_tracks[row]));
            if (row < m_progress.size())
                keptProgress.append(m_progress[row]);
        }
    };
    for (const auto& [first, last] : merged) {
        keep(next, first);
        next = last + 1;
    }
    keep(next, rows);
    // Progress is kept for the first rows only: trailing "none" entries need not stay.
    while (!keptProgress.isEmpty() && keptProgress.last() < 0)
        keptProgress.removeLast();
    m_paths = std::move(kept);
    m_roots = std::move(keptRoots);
    m_tracks = std::move(keptTracks);
    m_progress = std::move(keptProgress);
    endResetModel();
}

void FileQueue::setRowProgress(int row, int percent)
{
    if (row < 0 || row >= count())
        return;
    while (m_progress.size() <= row)
        m_progress.append(-1);
    if (m_progress[row] == percent)
        return;
    m_progress[row] = percent;
    emit dataChanged(index(row, 0), index(row, 1), {Qt::DisplayRole, ProgressRole});
}

void FileQueue::clearProgress()
{
    const int rows = int(m_progress.size());
    m_progress.clear();
    if (rows > 0)
        emit dataChanged(index(0, 0), index(qMin(rows, count()) - 1, 1), {Qt::DisplayRole, ProgressRole});
}

void FileQueue::removeFirst(int n)
{
    n = qMin(n, count());
    if (n <= 0)
        return;
    beginRemoveRows(QModelIndex(), 0, n - 1);
    m_paths.remove(0, n);
    m_roots.remove(0, n);
    m_tracks.remove(0, n);
    m_progress.remove(0, qMin(n, int(m_progress.size())));
    endRemoveRows();
}

void FileQueue::clear()
{
    if (m_paths.isEmpty())
        return;
    beginResetModel();
    m_paths.clear();
    m_roots.clear();
    m_tracks.clear();
    m_progress.clear();
    endResetModel();
}

int FileQueue::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int FileQueue::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : 2;
}

QVariant FileQueue::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= count())
        return {};
    const int progress = rowProgress(index.row());
    if (role == ProgressRole)
        return progress;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const QString path = pathAt(index.row());
    if (index.column() == 1 && role == Qt::DisplayRole && progress >= 0)
        return QStringLiteral("%1%").arg(progress);
    if (index.column() == 1 && role == Qt::DisplayRole && progress == kAnalysing)
        return QStringLiteral("analysing");
    // The row keeps the path's exact bytes; only what is shown marks the ones that are not text.
    if (index.column() == 0 || role == Qt::ToolTipRole) {
        const CueTrack* track = m_tracks[index.row()].get();
        if (track && !track->wholeFile)
            return PathBytes::Display(path) + QStringLiteral(" - ") + TrackName::Stem(*track);
        return PathBytes::Display(path);
    }
    return FormatCell(path);
}

QVariant FileQueue::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    if (section == 0)
        return QStringLiteral("FileName");
    if (section == 1)
        return QStringLiteral("Format");
    return {};
}
