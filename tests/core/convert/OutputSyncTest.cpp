// The end of a batch writes out each file system it wrote to once; one that cannot be synced at all (a
// FUSE stick) counts as written out, not as a failure.
#include "convert/OutputSync.h"
#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

TEST(OutputSync, OneSyncPerFileSystemAStickWithoutSyncCountsAsDoneAndAGoneFolderIsLeftOut)
{
    QTemporaryDir dir;
    ASSERT_TRUE(QDir().mkpath(dir.filePath(QStringLiteral("a"))) && QDir().mkpath(dir.filePath(QStringLiteral("b"))));
    OutputSync sync;
    sync.add(dir.filePath(QStringLiteral("a/one.mp3")));
    sync.add(dir.filePath(QStringLiteral("b/two.mp3")));
    sync.add(dir.filePath(QStringLiteral("a/three.mp3")));
    EXPECT_EQ(sync.fileSystems(), 1) << "two folders of one file system";
    sync.add(dir.filePath(QStringLiteral("gone/four.mp3")));
    EXPECT_EQ(sync.fileSystems(), 1) << "a folder that is not there";

    FatStick stick;
    if (stick.mounted()) {
        ASSERT_TRUE(QDir().mkpath(stick.mount() + QStringLiteral("/Music")));
        sync.add(stick.mount() + QStringLiteral("/Music/five.mp3"));
        EXPECT_EQ(sync.fileSystems(), 2);
    }
    const QList<OutputSync::Problem> problems = sync.syncAll();
    EXPECT_TRUE(problems.isEmpty()) << problems.value(0).folder.toStdString() << ": "
                                    << problems.value(0).reason.toStdString();
    EXPECT_EQ(sync.fileSystems(), 0) << "a batch's file systems are synced once";
}

} // namespace
