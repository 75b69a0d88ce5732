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

TEST(PathSplitting, StemKeepsTheWholeNameWithoutItsLastExtension)
{
    EXPECT_EQ(ParseStem(QStringLiteral("/m/02. Mr. Brightside.flac")), QStringLiteral("02. Mr. Brightside"));
    EXPECT_EQ(ParseStem(QStringLiteral("/m/live.set.wav")), QStringLiteral("live.set"));
    EXPECT_EQ(ParseStem(QStringLiteral("/m/.hidden.ogg")), QStringLiteral(".hidden"));
    EXPECT_EQ(ParseStem(QStringLiteral("/m/.hidden")), QStringLiteral(".hidden"));
    EXPECT_EQ(ParseStem(QStringLiteral("/m/README")), QStringLiteral("README"));
    EXPECT_EQ(ParseStem(QStringLiteral("/odd.dir/file")), QStringLiteral("file"));
    EXPECT_EQ(ParseStem(QStringLiteral("/m/trailing.")), QStringLiteral("trailing"));
    EXPECT_EQ(ParseExtension(QStringLiteral("/m/.hidden")), QString());
    EXPECT_EQ(ParseExtension(QStringLiteral("/odd.dir/file")), QString());
    EXPECT_EQ(ParseExtension(QStringLiteral("/m/a.b.FLAC")), QStringLiteral("FLAC"));
}

TEST(FileQueue, FormatCellIsTheWholeExtensionInCapitals)
{
    EXPECT_EQ(FileQueue::FormatCell(QStringLiteral("/m/song.flac")), QStringLiteral("FLAC"));
    EXPECT_EQ(FileQueue::FormatCell(QStringLiteral("/m/song.ra")), QStringLiteral("RA"));
    EXPECT_EQ(FileQueue::FormatCell(QStringLiteral("/m/a.mp3  ")), QStringLiteral("MP3"));
    EXPECT_EQ(FileQueue::FormatCell(QStringLiteral("/m/.hidden")), QString());
    EXPECT_EQ(FileQueue::FormatCell(QStringLiteral("/m/folder.d/")), QString());
    EXPECT_EQ(FileQueue::FormatCell(QStringLiteral("ab")), QString());
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
    EXPECT_EQ(q.data(q.index(1, 1)).toString(), QStringLiteral("FLAC"));
    q.removeAt(0);
    EXPECT_EQ(q.paths(), (QList<QString>{QStringLiteral("/m/b.flac"), QStringLiteral("/m/a.wav")}));
    q.removeAt(7);
    EXPECT_EQ(q.count(), 2);
    q.clear();
    EXPECT_TRUE(q.isEmpty());
}

} // namespace
