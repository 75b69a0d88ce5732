// A library converted as a whole: the folder tree kept, only music collected, a second run in skip mode
// converting only what is new. The tool is the fake one; it writes every output it is given.
#include "TestSupport.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "ui/Sound.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

class LibraryBatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sound::setPlayer([](const QString&) {});
        window = std::make_unique<frmMain>(folder.path());
        window->ui().txtPath->setText(folder.file("out"));
        window->options().FilesAtOnce = 1;
        const QStringList files = {"Music/Band/Album A/01. Intro.flac",
                                   "Music/Band/Album A/cover.jpg",
                                   "Music/Band/Album A/album.cue",
                                   "Music/Band/Album B/01. Intro.flac",
                                   "Music/Band/Album B/02. Song.mp3",
                                   "Music/Band/notes.txt",
                                   "Music/Other/CD1/a.ogg",
                                   "Music/Other/CD1/rip.log"};
        for (const QString& f : files)
            write(f);
    }
    void TearDown() override
    {
        window.reset();
        Sound::setPlayer({});
    }

    void write(const QString& relative)
    {
        const QString path = folder.file(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
        f.write("x");
    }

    bool run()
    {
        QSignalSpy finished(window.get(), &frmMain::batchFinished);
        EXPECT_TRUE(trigger(window.get(), "actionConvert"));
        return finished.wait(60000);
    }

    int toolRuns() const
    {
        QFile f(folder.file("log.txt"));
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
    }

    // Every file below a folder, relative to it, sorted.
    QStringList filesBelow(const QString& relative) const
    {
        QStringList found;
        const QString base = folder.file(relative);
        QDir::Filters filters = QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot;
        std::function<void(const QString&)> walk = [&](const QString& dir) {
            for (const QFileInfo& fi : QDir(dir).entryInfoList(filters | QDir::Dirs)) {
                if (fi.isDir())
                    walk(fi.filePath());
                else
                    found.append(fi.filePath().mid(base.size() + 1));
            }
        };
        walk(base);
        found.sort();
        return found;
    }

    ProgramFolder folder;
    MsgBoxRecorder boxes;
    OpenedUrls opened;
    std::unique_ptr<frmMain> window;
    ScopedEnv ops{"FAKE_TOOL_OPS", "logto:" + folder.file("log.txt").toUtf8() + ";touch"};
};

TEST_F(LibraryBatch, KeepTheFoldersRebuildsTheTreeAndASecondRunInSkipModeConvertsOnlyWhatIsNew)
{
    window->AddPaths({folder.file("Music/Band"), folder.file("Music/Other/CD1")});
    EXPECT_EQ(window->ui().lstFile->count(), 4) << "pictures, cue sheets, notes and logs are left out";
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("4 other files were not added."));
    ASSERT_TRUE(run());
    EXPECT_EQ(filesBelow("out"), QStringList({"Band/Album A/01. Intro.wma", "Band/Album B/01. Intro.wma",
                                              "Band/Album B/02. Song.wma", "CD1/a.wma"}))
        << "same-named tracks of different albums need no \" (2)\"";
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(folder.file("out"))});
    EXPECT_TRUE(boxes.shown().isEmpty());

    // A month later: one album more, and the same library converted again in skip mode.
    write("Music/Band/Album C/03. New.flac");
    window->options().IfExists = 1;
    const QDateTime before = QFileInfo(folder.file("out/Band/Album A/01. Intro.wma")).lastModified();
    window->AddPaths({folder.file("Music/Band"), folder.file("Music/Other/CD1")});
    ASSERT_EQ(window->ui().lstFile->count(), 5);
    const int runsBefore = toolRuns();
    ASSERT_TRUE(run());
    EXPECT_EQ(toolRuns() - runsBefore, 1) << "a skipped file starts no tool";
    EXPECT_EQ(window->ui().lstFile->count(), 0) << "skipped files leave the list as converted ones do";
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("4 files were already there and were skipped."));
    EXPECT_EQ(filesBelow("out").size(), 5);
    EXPECT_TRUE(QFile::exists(folder.file("out/Band/Album C/03. New.wma")));
    EXPECT_EQ(QFileInfo(folder.file("out/Band/Album A/01. Intro.wma")).lastModified(), before);
}

TEST_F(LibraryBatch, TwoAddedFoldersOfOneNameShareTheirCopyAndKeepBothFiles)
{
    write("Music/Second/CD1/a.ogg");
    window->AddPaths({folder.file("Music/Other/CD1"), folder.file("Music/Second/CD1/")});
    ASSERT_TRUE(run());
    EXPECT_EQ(filesBelow("out"), QStringList({"CD1/a (2).wma", "CD1/a.wma"}));
}

TEST_F(LibraryBatch, AllInOneFolderAndFilesAddedOnTheirOwnGoStraightIntoTheOutputFolder)
{
    window->options().OutputFiles = 1;
    window->AddPaths({folder.file("Music/Band")});
    ASSERT_TRUE(run());
    EXPECT_EQ(filesBelow("out"), QStringList({"01. Intro (2).wma", "01. Intro.wma", "02. Song.wma"}));

    window->options().OutputFiles = 0;
    window->AddPaths({folder.file("Music/Other/CD1/a.ogg"), folder.file("Music/Band/notes.txt")});
    EXPECT_EQ(window->ui().lstFile->count(), 2) << "files named one by one are always listed";
    ASSERT_TRUE(run());
    EXPECT_TRUE(QFile::exists(folder.file("out/a.wma")));
}

TEST_F(LibraryBatch, BesideEachOriginalWritesNextToTheInputAndLeavesTheOutputFolderAlone)
{
    window->options().OutputFiles = 2;
    window->seams().showModal = [](const char*) {}; // as if the Options window had just been closed with OK
    EXPECT_TRUE(trigger(window.get(), "actionOptions"));
    EXPECT_FALSE(window->ui().txtPath->isEnabled());
    EXPECT_FALSE(window->ui().txtPath->toolTip().isEmpty());
    window->ui().cmbOF->setCurrentIndex(0); // MP3, the format of one input
    window->ui().txtPath->setText(QStringLiteral("/proc/cannot/be/made"));
    window->AddPaths({folder.file("Music/Band/Album B")});
    ASSERT_TRUE(run());
    EXPECT_TRUE(boxes.shown().isEmpty()) << "the output folder is not checked";
    EXPECT_EQ(filesBelow("Music/Band/Album B"),
              QStringList({"01. Intro.flac", "01. Intro.mp3", "02. Song (2).mp3", "02. Song.mp3"}));
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(folder.file("Music/Band/Album B"))});
}

TEST_F(LibraryBatch, AScanOfALibraryHoldingTheOutputFolderNeverAddsTheOutputs)
{
    window->ui().txtPath->setText(folder.file("Music/Veltra WMA Converter"));
    window->options().IfExists = 1;
    window->AddPaths({folder.file("Music")});
    ASSERT_EQ(window->ui().lstFile->count(), 4);
    ASSERT_TRUE(run());
    EXPECT_EQ(filesBelow("Music/Veltra WMA Converter").size(), 4);
    window->AddPaths({folder.file("Music")});
    EXPECT_EQ(window->ui().lstFile->count(), 4) << "last run's outputs are not collected";
    ASSERT_TRUE(run());
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("4 files were already there and were skipped."));
    EXPECT_EQ(filesBelow("Music/Veltra WMA Converter").size(), 4);
}

TEST_F(LibraryBatch, AFolderAddedInsideTheOutputFolderConvertsIntoItsOwnTree)
{
    write("out/Band/Album/x.flac");
    window->AddPaths({folder.file("out/Band")});
    ASSERT_EQ(window->ui().lstFile->count(), 1);
    ASSERT_TRUE(run());
    EXPECT_EQ(filesBelow("out"), QStringList({"Band/Album/x.flac", "Band/Album/x.wma"}));
    window->AddPaths({folder.file("out")});
    EXPECT_EQ(window->ui().lstFile->count(), 2) << "the output folder itself, when added, is searched";
}

TEST_F(LibraryBatch, AFolderThatCannotBeMadeFailsItsFilesWithTheReasonAndTheRestConvert)
{
    QDir().mkpath(folder.file("out"));
    write("out/Band"); // a file where the album folders' parent should be
    window->AddPaths({folder.file("Music/Band"), folder.file("Music/Other/CD1")});
    ASSERT_TRUE(run());
    EXPECT_TRUE(QFile::exists(folder.file("out/CD1/a.wma")));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_TRUE(boxes.shown()[0].details.contains(QStringLiteral("Not a directory")))
        << boxes.shown()[0].details.toStdString();
    EXPECT_EQ(window->ui().lstFile->count(), 3) << "failed files come back, still remembering their folder";
    QFile::remove(folder.file("out/Band"));
    ASSERT_TRUE(run());
    EXPECT_TRUE(QFile::exists(folder.file("out/Band/Album B/02. Song.wma")));
}

TEST_F(LibraryBatch, AFolderThatCannotBeSearchedIsNamedAndTheRestIsListed)
{
    ASSERT_TRUE(QDir().mkpath(folder.file("Music/Band/Deep")));
    const QString deep = makeFolderPastPathMax(folder.file("Music/Band/Deep"));
    ASSERT_FALSE(deep.isEmpty());
    window->AddPaths({folder.file("Music/Band")});
    removeDeepTree(folder.file("Music/Band/Deep"));
    EXPECT_EQ(window->ui().lstFile->count(), 3);
    EXPECT_EQ(window->ui().lblPB->text(),
              QStringLiteral("3 other files were not added. 1 folder could not be searched."));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown()[0].icon, MsgBox::Icon::Warning);
    EXPECT_TRUE(boxes.shown()[0].text.startsWith(QStringLiteral("1 folder could not be searched")));
    EXPECT_TRUE(boxes.shown()[0].details.contains(QStringLiteral("\n    File name too long\n")))
        << boxes.shown()[0].details.toStdString();
    EXPECT_TRUE(boxes.shown()[0].details.startsWith(folder.file("Music/Band/Deep/")));
}

} // namespace
