#include "filelist/ListFiller.h"

#include "filelist/FileQueue.h"
#include "filelist/FileSearch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

void touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

// A tree big enough that a scan lets events through several times (4000 files in 40 folders).
QString makeTree(const QString& root)
{
    const QString tree = root + QStringLiteral("/tree");
    for (int d = 0; d < 40; ++d) {
        const QString sub = tree + QStringLiteral("/d%1").arg(d);
        QDir().mkpath(sub);
        for (int f = 0; f < 100; ++f)
            touch(sub + QStringLiteral("/f%1.wav").arg(f));
    }
    return tree;
}

QString makeAlbum(const QString& root)
{
    const QString album = root + QStringLiteral("/album");
    QDir().mkpath(album);
    touch(album + QStringLiteral("/02.wav"));
    touch(album + QStringLiteral("/01.wav"));
    return album;
}

// One path a line, so a failure shows which paths differ.
std::string lines(const QList<QString>& paths)
{
    return QStringList(paths).join(QLatin1Char('\n')).toStdString();
}

// Whether every path of part appears in whole, in the same order.
bool inOrderWithin(const QList<QString>& part, const QList<QString>& whole)
{
    qsizetype at = 0;
    for (const QString& p : part) {
        at = whole.indexOf(p, at);
        if (at < 0)
            return false;
        ++at;
    }
    return true;
}

QList<QString> listing(const QString& folder)
{
    QList<QString> found;
    FileSearch::SearchFolder(folder, found);
    return found;
}

class ListFilling : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Each signal is logged with the state a handler sees when it arrives.
        QObject::connect(&filler, &ListFiller::scanningChanged, [this](bool on) {
            EXPECT_EQ(filler.isScanning(), on);
            log << QStringLiteral("scanning %1").arg(on);
        });
        QObject::connect(&filler, &ListFiller::busyChanged, [this](bool on) {
            EXPECT_EQ(filler.isBusy(), on);
            log << QStringLiteral("busy %1").arg(on);
        });
        QObject::connect(&filler, &ListFiller::listUpdated, [this] { log << QStringLiteral("updated"); });
    }

    QTemporaryDir dir;
    FileQueue queue;
    ListFiller filler{&queue};
    QStringList log;
};

TEST_F(ListFilling, HandedOverFoldersAreSearchedInTurnAndDroppedFoldersJoinAsThey)
{
    const QString album = makeAlbum(dir.path());
    const QString single = dir.filePath(QStringLiteral("single.mp3"));
    touch(single);
    const QString missing = dir.filePath(QStringLiteral("missing.wav"));

    filler.addPaths({single, album, missing, single});
    EXPECT_EQ(lines(queue.paths()),
              lines({single, album + QStringLiteral("/01.wav"), album + QStringLiteral("/02.wav"), missing, single}))
        << "duplicates are kept, a missing file joins as named";
    EXPECT_EQ(lines(log), lines({"scanning 1", "busy 1", "scanning 0", "busy 0", "updated", "updated"}))
        << "the folder's search ends with its own update, the files after it join with one more";

    queue.clear();
    log.clear();
    filler.addFiles({album, single});
    EXPECT_EQ(lines(queue.paths()), lines({album, single})) << "a drop adds a folder as it is";
    EXPECT_EQ(lines(log), lines({"updated"}));

    log.clear();
    filler.scanFolder(QString()); // a cancelled choice
    EXPECT_EQ(queue.count(), 2);
    EXPECT_EQ(lines(log), lines({"scanning 1", "busy 1", "scanning 0", "busy 0", "updated"}));

    log.clear();
    filler.removeAll();
    EXPECT_TRUE(queue.isEmpty());
    EXPECT_EQ(lines(log), lines({"busy 1", "updated", "busy 0"}));
    EXPECT_FALSE(filler.isBusy());
    EXPECT_FALSE(filler.isScanning());
}

TEST_F(ListFilling, PathsHandedInDuringAScanJoinAfterItsFilesInTheirOrderAndOnce)
{
    const QString tree = makeTree(dir.path());
    const QString album = makeAlbum(dir.path());
    int interruptions = 0;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!filler.isScanning() || ++interruptions != 1)
            return;
        EXPECT_TRUE(filler.isBusy());
        filler.addFiles({QStringLiteral("/m/a.wav"), QStringLiteral("/m/b.wav")});
        filler.addPaths({album, QStringLiteral("/m/after.wav")});
        filler.addFiles({QStringLiteral("/m/c.wav")});
        // Neither may start while the scan runs.
        filler.removeAll();
        filler.scanFolder(album);
        EXPECT_TRUE(queue.isEmpty()) << "nothing joins before the scan ends";
    });
    poke.start(0);
    filler.scanFolder(tree);
    poke.stop();
    ASSERT_GT(interruptions, 1) << "the scan never let events through";

    QList<QString> expected = listing(tree);
    ASSERT_EQ(expected.size(), 4000);
    expected << QStringLiteral("/m/a.wav") << QStringLiteral("/m/b.wav") << album + QStringLiteral("/01.wav")
             << album + QStringLiteral("/02.wav") << QStringLiteral("/m/after.wav") << QStringLiteral("/m/c.wav");
    EXPECT_EQ(lines(queue.paths()), lines(expected));
    // The held folder is searched as a scan of its own, inside the first one's end.
    EXPECT_EQ(lines(log), lines({"scanning 1", "busy 1", "scanning 0", "busy 0", "scanning 1", "busy 1", "scanning 0",
                                 "busy 0", "updated", "updated", "updated"}));

    filler.addFiles({QStringLiteral("/m/d.wav")});
    EXPECT_EQ(queue.count(), expected.size() + 1) << "nothing was left held to join again";
    EXPECT_EQ(queue.paths().last(), QStringLiteral("/m/d.wav"));
}

TEST_F(ListFilling, StopEndsAScanKeepingWhatItFoundAndOnlyThatScan)
{
    const QString tree = makeTree(dir.path());
    int interruptions = 0;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (filler.isScanning() && ++interruptions == 2)
            filler.stopScan();
    });
    poke.start(0);
    filler.scanFolder(tree);
    poke.stop();
    ASSERT_GE(interruptions, 2);
    const QList<QString> all = listing(tree);
    const int kept = queue.count();
    EXPECT_GT(kept, 0);
    EXPECT_LT(kept, all.size());
    // The folder being read when the stop came keeps the files read so far, so the rest is a subsequence.
    EXPECT_TRUE(inOrderWithin(queue.paths(), all)) << kept << " kept";
    EXPECT_FALSE(filler.isScanning());
    EXPECT_FALSE(filler.isBusy());

    // A stop with no scan running must not cut the next one short.
    queue.clear();
    filler.stopScan();
    filler.scanFolder(tree);
    EXPECT_EQ(lines(queue.paths()), lines(all));
}

TEST_F(ListFilling, RemoveAllOfALongListLetsEventsThroughAndAFolderHandedOverMeanwhileIsSearchedAfter)
{
    const QString album = makeAlbum(dir.path());
    constexpr int kRows = 100000;
    QList<QString> many;
    for (int i = 0; i < kRows; ++i)
        many.append(QStringLiteral("/m/%1.wav").arg(i));
    queue.appendMany(many);
    // Every slice costs a little, as a view showing the list makes it, so emptying outlasts 15 ms.
    QObject::connect(&queue, &QAbstractItemModel::rowsRemoved, [] { QThread::usleep(1000); });

    bool fired = false;
    QTimer::singleShot(0, [&] {
        fired = true;
        EXPECT_TRUE(filler.isBusy());
        EXPECT_FALSE(filler.isScanning());
        EXPECT_GT(queue.count(), 0);
        EXPECT_LT(queue.count(), kRows) << "the list empties visibly, slice by slice";
        filler.addPaths({album, QStringLiteral("/m/after.wav")});
        filler.addFiles({QStringLiteral("/m/dropped.wav")});
        filler.removeAll();
        filler.scanFolder(album);
    });
    filler.removeAll();
    EXPECT_TRUE(fired) << "a timer due during Remove All never fired";
    EXPECT_EQ(lines(queue.paths()), lines({album + QStringLiteral("/01.wav"), album + QStringLiteral("/02.wav"),
                                           QStringLiteral("/m/after.wav"), QStringLiteral("/m/dropped.wav")}));
    EXPECT_EQ(lines(log), lines({"busy 1", "updated", "busy 0", "scanning 1", "busy 1", "scanning 0", "busy 0",
                                 "updated", "updated"}));
}

} // namespace
