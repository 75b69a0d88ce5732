#include "filelist/FileQueue.h"
#include "filelist/GetFile.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace GetFile;

namespace {

TEST(PathSplitting, FileAndBaseNames)
{
    EXPECT_EQ(ParseFileName(QStringLiteral("/music/a.b.mp3")), QStringLiteral("a.b.mp3"));
    EXPECT_EQ(ParseBaseName(QStringLiteral("/music/a.b.mp3")), QStringLiteral("a"));
    EXPECT_EQ(ParseBaseName(QStringLiteral("/x/my.song.mp3")), QStringLiteral("my"));
    EXPECT_EQ(ParseBaseName(QStringLiteral("/x/.hidden")), QString());
    EXPECT_EQ(ParseFileName(QStringLiteral("song.mp3")), QStringLiteral("song.mp3"));
    EXPECT_EQ(ParseBaseName(QStringLiteral("/x/noext")), QStringLiteral("noext"));
    EXPECT_EQ(ParseFileName(QString()), QString());
    EXPECT_EQ(ParseFileName(QStringLiteral("/x/dir/")), QString());
    EXPECT_EQ(ParseBaseName(QStringLiteral("/odd.dir/file")), QStringLiteral("file"));
}

TEST(FileQueue, FormatCellIsTheLastThreeCharactersUpperCased)
{
    EXPECT_EQ(FileQueue::FormatCell(QStringLiteral("/m/song.flac")), QStringLiteral("LAC"));
    EXPECT_EQ(FileQueue::FormatCell(QStringLiteral("/m/song.ra")), QStringLiteral(".RA"));
    EXPECT_EQ(FileQueue::FormatCell(QStringLiteral("/m/a.mp3  ")), QStringLiteral("MP3"));
    EXPECT_EQ(FileQueue::FormatCell(QStringLiteral("ab")), QStringLiteral("AB"));
}

TEST(FileQueue, RowsShowPathAndFormatAndKeepDuplicatesInOrder)
{
    FileQueue q;
    QSignalSpy inserted(&q, &QAbstractItemModel::rowsInserted);
    q.append(QStringLiteral("/m/a.wav"));
    q.appendMany({QStringLiteral("/m/b.flac"), QStringLiteral("/m/a.wav")});
    EXPECT_EQ(inserted.count(), 2);
    ASSERT_EQ(q.rowCount(), 3);
    EXPECT_EQ(q.columnCount(), 2);
    EXPECT_EQ(q.headerData(0, Qt::Horizontal).toString(), QStringLiteral("FileName"));
    EXPECT_EQ(q.headerData(1, Qt::Horizontal).toString(), QStringLiteral("Format"));
    EXPECT_EQ(q.data(q.index(1, 0)).toString(), QStringLiteral("/m/b.flac"));
    EXPECT_EQ(q.data(q.index(1, 1)).toString(), QStringLiteral("LAC"));
    q.removeAt(0);
    EXPECT_EQ(q.paths(), (QList<QString>{QStringLiteral("/m/b.flac"), QStringLiteral("/m/a.wav")}));
    q.removeAt(7);
    EXPECT_EQ(q.count(), 2);
    q.clear();
    EXPECT_TRUE(q.isEmpty());
}

} // namespace
