#include "filelist/FileSearch.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <algorithm>
#include <climits>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using FileSearch::SearchFolder;

namespace {

void touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

// Runs with the given default locale and puts the previous one back.
class LocaleScope
{
public:
    explicit LocaleScope(const QLocale& locale) { QLocale::setDefault(locale); }
    ~LocaleScope() { QLocale::setDefault(m_previous); }

private:
    QLocale m_previous;
};

QList<QString> under(const QString& root, const QStringList& names)
{
    QList<QString> paths;
    for (const QString& n : names)
        paths.append(root + QLatin1Char('/') + n);
    return paths;
}

TEST(FolderScan, EachFolderListsAsAFileManagerShowsIt)
{
    QTemporaryDir root;
    for (const char* d : {"Mixed", "Band", "broken", "Band/CD 10", "Band/CD 2", "Band/cd 1"})
        QDir(root.path()).mkpath(QString::fromLatin1(d));
    const QStringList files = {"Track 10.wav",   "track 2.wav", "Track 1.wav", "02. Mr. Brightside.flac",
                               "01. Jenny.flac", ".hidden.ogg", "Zebra.mp3",   "apple.mp3",
                               "Éclair.mp3",     "Eclair.mp3",  "eclair 2.mp3"};
    for (const QString& f : files)
        touch(root.filePath(f));
    for (const char* f : {"Band/CD 10/x.mp3", "Band/CD 2/x.mp3", "Band/cd 1/x.mp3", "Band/b.mp3", "Mixed/m.mp3"})
        touch(root.filePath(QString::fromLatin1(f)));
    touch(root.filePath(QStringLiteral("broken/z.mp3")));

    // Files first, then subfolders; numbers by value, case and accents as people read them.
    const QList<QString> expected =
        under(root.path(),
              {".hidden.ogg", "01. Jenny.flac", "02. Mr. Brightside.flac", "apple.mp3", "eclair 2.mp3", "Eclair.mp3",
               "Éclair.mp3", "Track 1.wav", "track 2.wav", "Track 10.wav", "Zebra.mp3", "Band/b.mp3", "Band/cd 1/x.mp3",
               "Band/CD 2/x.mp3", "Band/CD 10/x.mp3", "broken/z.mp3", "Mixed/m.mp3"});
    for (const QLocale& locale : {QLocale::c(), QLocale(QLocale::English, QLocale::UnitedKingdom)}) {
        LocaleScope scope(locale);
        QList<QString> found = {QStringLiteral("/already/listed.mp3")};
        SearchFolder(root.path(), found);
        EXPECT_EQ(TestSupport::text(found), TestSupport::text(QList<QString>{"/already/listed.mp3"} + expected))
            << locale.name().toStdString();
    }
}

TEST(FolderScan, EverySubfolderIsWalkedInOrderHoweverManyThereAre)
{
    QTemporaryDir root;
    for (int i = 249; i >= 0; --i) {
        const QString sub = QStringLiteral("d%1").arg(i);
        QDir(root.path()).mkdir(sub);
        touch(root.filePath(sub + QStringLiteral("/f")));
    }
    touch(root.filePath(QStringLiteral("own.mp3")));
    QList<QString> found;
    FileSearch::Collect collect;
    SearchFolder(root.path(), found, {}, &collect);
    ASSERT_EQ(found.size(), 251);
    EXPECT_EQ(found.first(), root.filePath(QStringLiteral("own.mp3")));
    for (int i = 0; i < 250; ++i)
        EXPECT_EQ(found[i + 1], root.filePath(QStringLiteral("d%1/f").arg(i)));
    EXPECT_TRUE(collect.unsearched.isEmpty());
}

// A folder the walk cannot open is named with the system's reason instead of being left out silently:
// one whose path is longer than the system takes, and (for an ordinary user) one without permission.
TEST(FolderScan, AFolderThatCannotBeOpenedIsNamedWithItsReason)
{
    QTemporaryDir root;
    const QString deep = TestSupport::makeFolderPastPathMax(root.path());
    ASSERT_FALSE(deep.isEmpty());
    touch(root.filePath(QStringLiteral("top.mp3")));
    const bool root_user = ::geteuid() == 0;
    if (!root_user) {
        QDir(root.path()).mkdir(QStringLiteral("locked"));
        ::chmod(QFile::encodeName(root.filePath(QStringLiteral("locked"))).constData(), 0);
    }
    QList<QString> found;
    FileSearch::Collect collect;
    SearchFolder(root.path(), found, {}, &collect);
    EXPECT_EQ(found, QList<QString>{root.filePath(QStringLiteral("top.mp3"))});
    ASSERT_EQ(collect.unsearched.size(), root_user ? 1 : 2);
    const auto tooLong =
        std::find_if(collect.unsearched.cbegin(), collect.unsearched.cend(),
                     [](const FileSearch::Collect::Unsearched& u) { return u.folder.size() >= PATH_MAX; });
    ASSERT_NE(tooLong, collect.unsearched.cend());
    EXPECT_TRUE(deep.startsWith(tooLong->folder));
    EXPECT_EQ(tooLong->reason, QStringLiteral("File name too long"));
    if (!root_user) {
        ::chmod(QFile::encodeName(root.filePath(QStringLiteral("locked"))).constData(), 0755);
        EXPECT_EQ(collect.unsearched.first().folder, root.filePath(QStringLiteral("locked")));
        EXPECT_EQ(collect.unsearched.first().reason, QStringLiteral("Permission denied"));
    }
    TestSupport::removeDeepTree(root.path());
}

TEST(FolderScan, OnlyRegularFilesAreListedAndAFifoNeverBlocksTheScan)
{
    QTemporaryDir root;
    touch(root.filePath(QStringLiteral("song.mp3")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(root.filePath(QStringLiteral("pipe.mp3"))).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("pipe.mp3")), root.filePath(QStringLiteral("to-pipe.mp3"))));
    ASSERT_TRUE(QFile::link(root.filePath(QStringLiteral("song.mp3")), root.filePath(QStringLiteral("to-song.mp3"))));
    QList<QString> found;
    SearchFolder(root.path(), found);
    EXPECT_EQ(found, under(root.path(), {"song.mp3", "to-song.mp3"}));
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
    EXPECT_FALSE(found.contains(root.filePath(QStringLiteral("dangling")))) << "a broken link is no file";
    EXPECT_EQ(found.size(), 1);
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
