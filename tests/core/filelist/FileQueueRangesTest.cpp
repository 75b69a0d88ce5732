#include "filelist/FileQueue.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

FileQueue* filled(int rows, QObject* parent)
{
    auto* q = new FileQueue(parent);
    for (int i = 0; i < rows; ++i)
        q->append(QStringLiteral("/in/%1.wav").arg(i));
    return q;
}

QStringList rowsOf(const FileQueue& q)
{
    QStringList names;
    for (const QString& p : q.paths())
        names.append(p.section(QLatin1Char('/'), -1).section(QLatin1Char('.'), 0, 0));
    return names;
}

TEST(FileQueueRanges, ScatteredOverlappingAndUnsortedRangesGoInOneReset)
{
    QObject owner;
    FileQueue* q = filled(10, &owner);
    q->setRowProgress(0, 10);
    q->setRowProgress(2, 30);
    q->setRowProgress(3, 40);
    QSignalSpy resets(q, &QAbstractItemModel::modelReset);
    QSignalSpy removed(q, &QAbstractItemModel::rowsRemoved);
    // 8-9 and 1 out of order, 4-5 given twice and overlapping 5-6, a range past the end cut to the list.
    q->removeRanges({{8, 12}, {1, 1}, {4, 5}, {5, 6}, {4, 4}});
    EXPECT_EQ(rowsOf(*q), (QStringList{"0", "2", "3", "7"}));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(removed.count(), 0);
    // The progress shown moves with its row.
    EXPECT_EQ(q->rowProgress(0), 10);
    EXPECT_EQ(q->rowProgress(1), 30);
    EXPECT_EQ(q->rowProgress(2), 40);
    EXPECT_EQ(q->rowProgress(3), -1);
}

TEST(FileQueueRanges, OneBlockIsRemovedAsRowsAndNothingValidIsNoChange)
{
    QObject owner;
    FileQueue* q = filled(6, &owner);
    q->setRowProgress(4, 50);
    QSignalSpy resets(q, &QAbstractItemModel::modelReset);
    QSignalSpy removed(q, &QAbstractItemModel::rowsRemoved);
    q->removeRanges({{3, 3}, {1, 2}}); // touching ranges are one block
    EXPECT_EQ(rowsOf(*q), (QStringList{"0", "4", "5"}));
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed[0][1].toInt(), 1);
    EXPECT_EQ(removed[0][2].toInt(), 3);
    EXPECT_EQ(q->rowProgress(1), 50);
    q->removeRanges({{7, 9}, {-3, -1}, {2, 1}});
    q->removeRanges({});
    EXPECT_EQ(q->count(), 3);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(resets.count(), 0);
}

TEST(FileQueueRanges, EachRowKeepsItsFolderAndTrackWhateverIsRemovedAroundIt)
{
    QObject owner;
    auto* q = new FileQueue(&owner);
    const auto track = [](int n) {
        auto t = std::make_shared<CueTrack>();
        t->number = n;
        t->audioPath = QStringLiteral("/rips/Album.flac");
        t->tags.title = QStringLiteral("Song %1").arg(n);
        return std::shared_ptr<const CueTrack>(t);
    };
    for (int i = 0; i < 8; ++i) {
        if (i % 2)
            q->append(FileQueue::Entry{QStringLiteral("/rips/Album.flac"), QStringLiteral("/rips"), track(i)});
        else
            q->append(QStringLiteral("/in/%1.wav").arg(i), QStringLiteral("/in%1").arg(i));
    }
    EXPECT_EQ(q->at(3), QStringLiteral("/rips/Album.flac#3"));
    EXPECT_EQ(q->pathAt(3), QStringLiteral("/rips/Album.flac"));
    q->removeRanges({{0, 0}, {5, 6}}); // scattered
    q->removeRanges({{1, 1}});         // one block
    EXPECT_EQ(q->paths(),
              (QList<QString>{"/rips/Album.flac#1", "/rips/Album.flac#3", "/in/4.wav", "/rips/Album.flac#7"}));
    const QList<QString> roots = {"/rips", "/rips", "/in4", "/rips"};
    for (int row = 0; row < q->count(); ++row)
        EXPECT_EQ(q->rootAt(row), roots[row]) << row;
    EXPECT_EQ(q->entryAt(3).track->number, 7);
    EXPECT_EQ(q->data(q->index(3, 0)).toString(), QStringLiteral("/rips/Album.flac - 07 Song 7"));
    EXPECT_EQ(q->data(q->index(3, 1)).toString(), QStringLiteral("FLAC"));
    EXPECT_FALSE(q->entryAt(2).track);
    // A track alone in its file stands for the whole file.
    auto whole = std::make_shared<CueTrack>();
    whole->number = 2;
    whole->audioPath = QStringLiteral("/rips/02.flac");
    whole->wholeFile = true;
    q->append(FileQueue::Entry{whole->audioPath, QString(), whole});
    EXPECT_EQ(q->at(4), QStringLiteral("/rips/02.flac"));
    EXPECT_EQ(q->data(q->index(4, 0)).toString(), QStringLiteral("/rips/02.flac"));
}

} // namespace
