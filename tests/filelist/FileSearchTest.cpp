#include "filelist/FileSearch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using FileSearch::SearchFolder;

namespace {

void touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

// The folder's entries in the order the system lists them.
QStringList listing(const QString& folder, QDir::Filters filter)
{
    return QDir(folder).entryList(filter | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Unsorted);
}

TEST(FolderScan, OwnFilesFirstThenSubfoldersInListingOrder)
{
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("sub1/deeper"));
    QDir(root.path()).mkpath(QStringLiteral("sub2"));
    for (const char* f : {"a.mp3", "b.wav", ".hidden.ogg"})
        touch(root.filePath(QString::fromLatin1(f)));
    touch(root.filePath(QStringLiteral("sub1/x.flac")));
    touch(root.filePath(QStringLiteral("sub1/deeper/y.aac")));
    touch(root.filePath(QStringLiteral("sub2/z.wma")));

    QList<QString> found = {QStringLiteral("/already/listed.mp3")};
    SearchFolder(root.path(), found);

    QList<QString> expected = {QStringLiteral("/already/listed.mp3")};
    for (const QString& f : listing(root.path(), QDir::Files))
        expected.append(root.path() + QLatin1Char('/') + f);
    for (const QString& sub : listing(root.path(), QDir::Dirs)) {
        if (sub == QLatin1String("sub1")) {
            expected.append(root.filePath(QStringLiteral("sub1/x.flac")));
            expected.append(root.filePath(QStringLiteral("sub1/deeper/y.aac")));
        } else {
            expected.append(root.filePath(QStringLiteral("sub2/z.wma")));
        }
    }
    EXPECT_EQ(found, expected);
}

TEST(FolderScan, AtMost200SubfoldersOfOneFolderAreWalked)
{
    QTemporaryDir root;
    for (int i = 0; i < 250; ++i) {
        const QString sub = QStringLiteral("d%1").arg(i);
        QDir(root.path()).mkdir(sub);
        touch(root.filePath(sub + QStringLiteral("/f")));
    }
    touch(root.filePath(QStringLiteral("own.mp3")));
    QList<QString> found;
    SearchFolder(root.path(), found);
    ASSERT_EQ(found.size(), 201);
    EXPECT_EQ(found.first(), root.filePath(QStringLiteral("own.mp3")));
    const QStringList subs = listing(root.path(), QDir::Dirs);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(found[i + 1], root.path() + QLatin1Char('/') + subs[i] + QStringLiteral("/f"));
}

TEST(FolderScan, LinkLoopsEndAndLinkedFoldersAreWalkedOnce)
{
    QTemporaryDir root;
    QDir(root.path()).mkpath(QStringLiteral("a"));
    touch(root.filePath(QStringLiteral("a/song.mp3")));
    ASSERT_TRUE(QFile::link(root.path(), root.filePath(QStringLiteral("a/back-to-root"))));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("a")), root.filePath(QStringLiteral("again"))));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("nowhere")), root.filePath(QStringLiteral("dangling"))));
    QList<QString> found;
    SearchFolder(root.path(), found);
    EXPECT_EQ(found.count(QStringLiteral("%1/a/song.mp3").arg(root.path())) +
                  found.count(QStringLiteral("%1/again/song.mp3").arg(root.path())),
              1);
    EXPECT_TRUE(found.contains(root.filePath(QStringLiteral("dangling")))) << "a broken link is listed like a file";
    EXPECT_EQ(found.size(), 2);
}

TEST(FolderScan, FolderThatCannotBeListedContributesNothing)
{
    QList<QString> found;
    SearchFolder(QStringLiteral("/no/such/folder"), found);
    QTemporaryDir root;
    touch(root.filePath(QStringLiteral("plain")));
    SearchFolder(root.filePath(QStringLiteral("plain")), found);
    EXPECT_TRUE(found.isEmpty());
}

TEST(FolderScan, NamesKeepTrailingSpacesAndTheBufferTrimCutsPadding)
{
    QTemporaryDir root;
    touch(root.filePath(QStringLiteral("odd name.mp3 ")));
    QList<QString> found;
    SearchFolder(root.path(), found);
    EXPECT_EQ(found, QList<QString>{root.filePath(QStringLiteral("odd name.mp3 "))});
    EXPECT_EQ(FileSearch::TrimNameBuffer(QStringLiteral("a b") + QString(3, QChar(0)) + QStringLiteral("  ")),
              QStringLiteral("a b"));
    EXPECT_EQ(FileSearch::TrimNameBuffer(QStringLiteral("   ")), QString());
}

} // namespace
