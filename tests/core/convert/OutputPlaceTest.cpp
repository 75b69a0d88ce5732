#include "convert/OutputPlace.h"
#include "TestSupport.h"
#include "convert/FolderMaker.h"
#include "convert/OutputFolder.h"
#include "convert/OutputNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

TEST(OutputPlace, EachModePutsTheOutputWhereItSays)
{
    const QString input = QStringLiteral("/music/The Killers/Hot Fuss/02. Mr. Brightside.flac");
    const QString root = QStringLiteral("/music/The Killers");
    using OutputPlace::FolderFor;
    using enum OutputLayout;
    EXPECT_EQ(FolderFor(KeepFolders, QStringLiteral("/stick"), input, root),
              QStringLiteral("/stick/The Killers/Hot Fuss/"));
    EXPECT_EQ(FolderFor(KeepFolders, QStringLiteral("/stick/"), input, root + QLatin1Char('/')),
              QStringLiteral("/stick/The Killers/Hot Fuss/"));
    EXPECT_EQ(FolderFor(KeepFolders, QStringLiteral("/stick"), input, QString()), QStringLiteral("/stick/"))
        << "a file added on its own";
    EXPECT_EQ(FolderFor(KeepFolders, QStringLiteral("/stick"), input, QStringLiteral("/other")),
              QStringLiteral("/stick/"));
    EXPECT_EQ(FolderFor(KeepFolders, QStringLiteral("/stick"), QStringLiteral("/a.mp3"), QStringLiteral("/")),
              QStringLiteral("/stick/"));
    EXPECT_EQ(FolderFor(AllInOne, QStringLiteral("/stick"), input, root), QStringLiteral("/stick/"));
    EXPECT_EQ(FolderFor(BesideOriginal, QStringLiteral("/stick"), input, root),
              QStringLiteral("/music/The Killers/Hot Fuss/"));
}

TEST(FolderMaker, MakesEveryLevelOnceAndReportsAFolderThatCannotBeMade)
{
    QTemporaryDir out;
    FolderMaker maker;
    const QString deep = out.filePath(QStringLiteral("A/B/C"));
    const FolderMaker::Made made = maker.Make(deep);
    EXPECT_EQ(made.folder, deep + QLatin1Char('/'));
    EXPECT_TRUE(made.problem.isEmpty());
    EXPECT_TRUE(QFileInfo(deep).isDir());

    // Remembered: removing the folder behind its back does not make it again within the batch.
    ASSERT_TRUE(QDir(out.filePath(QStringLiteral("A"))).removeRecursively());
    EXPECT_EQ(maker.Make(deep + QLatin1Char('/')).folder, deep + QLatin1Char('/'));
    EXPECT_FALSE(QFileInfo(deep).exists());
    maker.reset();
    maker.Make(deep);
    EXPECT_TRUE(QFileInfo(deep).isDir()) << "a new batch makes it again";

    // A file where a level should be.
    QFile blocker(out.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    const FolderMaker::Made blocked = maker.Make(out.filePath(QStringLiteral("file/Album")));
    EXPECT_TRUE(blocked.folder.isEmpty());
    EXPECT_EQ(blocked.problem, QStringLiteral("The folder %1 cannot be made: Not a directory").arg(blocker.fileName()));

    if (::geteuid() != 0) {
        QDir(out.path()).mkdir(QStringLiteral("locked"));
        ::chmod(QFile::encodeName(out.filePath(QStringLiteral("locked"))).constData(), 0500);
        const FolderMaker::Made refused = maker.Make(out.filePath(QStringLiteral("locked/Album/CD1")));
        EXPECT_TRUE(refused.problem.endsWith(QStringLiteral("Permission denied"))) << refused.problem.toStdString();
        ::chmod(QFile::encodeName(out.filePath(QStringLiteral("locked"))).constData(), 0700);
    }
}

TEST(OutputNames, SkipModeSeesTheNameOnDiskItsStickMappingAndReservations)
{
    using Found = OutputNames::Looked::Found;
    QTemporaryDir out;
    OutputNames names;
    const auto write = [&](const QString& name) {
        QFile f(out.filePath(name));
        return f.open(QIODevice::WriteOnly) && f.write("converted") > 0;
    };
    const QString plain = out.filePath(QStringLiteral("song.mp3"));
    EXPECT_EQ(names.Look(QStringLiteral("/in/1/song.flac"), plain).found, Found::Nothing);
    ASSERT_TRUE(write(QStringLiteral("song.mp3")));
    names.reset();
    EXPECT_EQ(names.Look(QStringLiteral("/in/1/song.flac"), plain).found, Found::Output);
    // A stick that refused ":" got "AC_DC.mp3" last time.
    ASSERT_TRUE(write(QStringLiteral("AC_DC.mp3")));
    EXPECT_EQ(names.Look(QStringLiteral("/in/AC:DC.flac"), out.filePath(QStringLiteral("AC:DC.mp3"))).found,
              Found::Output);
    EXPECT_EQ(names.Look(QStringLiteral("/in/AC:DC live.flac"), out.filePath(QStringLiteral("AC:DC live.mp3"))).found,
              Found::Nothing);
    // What this batch reserved is no output of an earlier run: the next input of that name takes " (2)".
    const QString reserved = out.filePath(QStringLiteral("new.mp3"));
    ASSERT_TRUE(names.Reserve(QStringLiteral("/in/new.flac"), reserved));
    const OutputNames::Looked next = names.Look(QStringLiteral("/in/2/new.flac"), reserved);
    EXPECT_EQ(next.found, Found::Nothing);
    EXPECT_EQ(next.path, out.filePath(QStringLiteral("new (2).mp3")));
}

TEST(OutputFolder, AFolderNameAFatStickRefusesSaysWhichCharacters)
{
    TestSupport::FatStick stick;
    if (!stick.mounted())
        GTEST_SKIP() << "needs /dev/fuse, fusefat and mkfs.fat";
    const QString refused = stick.mount() + QStringLiteral("/AC:DC?/Live");
    const QString reason = OutputFolder::Prepare(refused);
    EXPECT_TRUE(reason.startsWith(QStringLiteral("the drive does not take :, ? in a folder name (")))
        << reason.toStdString();
    EXPECT_EQ(OutputFolder::Prepare(stick.mount() + QStringLiteral("/Music/Rock")), QString());
    EXPECT_TRUE(QFileInfo(stick.mount() + QStringLiteral("/Music/Rock")).isDir());
}

} // namespace
