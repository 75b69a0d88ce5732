#include "TestSupport.h"
#include "app/frmMain.h"
#include "app/frmMenu.h"
#include "filelist/FileQueue.h"
#include "filelist/PathBytes.h"
#include "ui/DialogSeam.h"
#include "ui/FolderDialog.h"
#include "ui/HotArea.h"
#include "ui/Sound.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

class FileListCommands : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DialogSeam::setFileAnswerer([this](const DialogSeam::FileRequest& r) {
            requests.append(r);
            return answers.isEmpty() ? std::nullopt : answers.takeFirst();
        });
        window = std::make_unique<frmMain>(folder.path());
    }
    void TearDown() override
    {
        window.reset();
        DialogSeam::setFileAnswerer({});
        FolderDialog::setAnswerer({});
    }

    // The list view and the queue are one model; this checks the view really shows it.
    void expectListShows(const QList<QString>& paths)
    {
        EXPECT_EQ(window->ui().lstFile->paths(), paths);
        const QAbstractItemModel* shown = window->ui().LV->model();
        ASSERT_EQ(shown->rowCount(), paths.size());
        for (int i = 0; i < paths.size(); ++i)
            EXPECT_EQ(shown->index(i, 0).data().toString(), paths[i]);
        EXPECT_EQ(window->ui().picText->isVisibleTo(window.get()), paths.isEmpty());
    }

    QTemporaryDir folder;
    QList<DialogSeam::FileRequest> requests;
    QList<std::optional<QString>> answers;
    std::unique_ptr<frmMain> window;
};

TEST_F(FileListCommands, AddFilesAppendsWhatTheDialogChoseAndKeepsDuplicates)
{
    EXPECT_FALSE(window->ui().picText->isHidden());
    EXPECT_TRUE(trigger(window.get(), "actionAddFiles")); // cancelled
    expectListShows({});
    answers = {QStringLiteral("/m/song.flac"), QStringLiteral("/m/song.flac"), QStringLiteral("/m/tune.ra")};
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(trigger(window.get(), "actionAddFiles"));
    expectListShows({QStringLiteral("/m/song.flac"), QStringLiteral("/m/song.flac"), QStringLiteral("/m/tune.ra")});
    EXPECT_EQ(window->ui().LV->model()->index(0, 1).data().toString(), QStringLiteral("FLAC"));
    EXPECT_EQ(window->ui().LV->model()->index(2, 1).data().toString(), QStringLiteral("RA"));
    ASSERT_EQ(requests.size(), 4);
    EXPECT_EQ(requests[0].title, QStringLiteral("Open Files"));
    EXPECT_EQ(requests[2].folder, QStringLiteral("/m"));
    EXPECT_EQ(requests[2].fileName, QStringLiteral("/m/song.flac"));
}

TEST_F(FileListCommands, DropZoneClickOpensInTheProgramFolder)
{
    answers = {QStringLiteral("/m/a.mp3")};
    EXPECT_TRUE(trigger(window.get(), "actionDropZone"));
    expectListShows({QStringLiteral("/m/a.mp3")});
    ASSERT_EQ(requests.size(), 1);
    EXPECT_EQ(requests[0].folder, folder.path());
    EXPECT_TRUE(trigger(window.get(), "actionDropZone")); // cancelled
    expectListShows({QStringLiteral("/m/a.mp3")});
}

TEST_F(FileListCommands, DroppedFilesJoinInTheDraggedOrderOnTheListOrTheDropZone)
{
    auto* files = new QMimeData;
    files->setUrls({QUrl::fromLocalFile(QStringLiteral("/m/c.wav")), QUrl::fromLocalFile(QStringLiteral("/m/a.wav")),
                    QUrl::fromLocalFile(QStringLiteral("/m/b c.wav")),
                    QUrl(QStringLiteral("https://example.org/x.mp3"))});
    std::unique_ptr<QMimeData> owner(files);
    ASSERT_TRUE(drop(window->ui().LV->viewport(), files));
    const QList<QString> three = {QStringLiteral("/m/c.wav"), QStringLiteral("/m/a.wav"), QStringLiteral("/m/b c.wav")};
    expectListShows(three);
    ASSERT_TRUE(drop(window->ui().picDrag, files));
    expectListShows(three + three);

    // A folder is searched as Add Folder searches it: its music joins, remembering the folder.
    QDir(folder.path()).mkpath(QStringLiteral("Album/CD1"));
    for (const char* name : {"Album/CD1/01 Song.flac", "Album/cover.jpg"})
        QFile(folder.filePath(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    QMimeData folderDrop;
    folderDrop.setUrls({QUrl::fromLocalFile(folder.filePath(QStringLiteral("Album")))});
    ASSERT_TRUE(drop(window->ui().LV->viewport(), &folderDrop));
    ASSERT_EQ(window->ui().lstFile->count(), 7);
    EXPECT_EQ(window->ui().lstFile->paths().last(), folder.filePath(QStringLiteral("Album/CD1/01 Song.flac")));
    EXPECT_EQ(window->ui().lstFile->rootAt(6), folder.filePath(QStringLiteral("Album")));
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("1 other file was not added."));

    QMimeData text;
    text.setText(QStringLiteral("/m/not-a-file.wav"));
    EXPECT_FALSE(drop(window->ui().LV->viewport(), &text));
    EXPECT_EQ(window->ui().lstFile->count(), 7);
}

TEST_F(FileListCommands, DroppedNamesThatAreNotTextKeepTheirBytesAndShowAReplacementCharacter)
{
    // As another program's drag delivers them: the uri-list's own bytes, "%FF" and all.
    QMimeData mime;
    mime.setData(QStringLiteral("text/uri-list"), "file:///m/bad%FF.wav\r\nfile:///m/bad%EF%BF%BD.wav\r\n");
    ASSERT_TRUE(drop(window->ui().LV->viewport(), &mime));
    const QList<QString> paths = window->ui().lstFile->paths();
    ASSERT_EQ(paths.size(), 2);
    EXPECT_EQ(PathBytes::Encode(paths[0]), QByteArray("/m/bad\xff.wav"));
    EXPECT_EQ(PathBytes::Encode(paths[1]), QByteArray("/m/bad\xef\xbf\xbd.wav"));
    const QAbstractItemModel* shown = window->ui().LV->model();
    for (int row : {0, 1})
        EXPECT_EQ(shown->index(row, 0).data().toString(), QString::fromUtf8("/m/bad\xef\xbf\xbd.wav")) << row;
}

TEST_F(FileListCommands, RemoveSelectedTakesOnlyTheCurrentRow)
{
    EXPECT_TRUE(trigger(window.get(), "actionRemoveCurrent")); // empty list: nothing happens
    for (const char* p : {"/m/A", "/m/B", "/m/C"})
        window->ui().lstFile->append(QString::fromLatin1(p));
    EXPECT_TRUE(trigger(window.get(), "actionRemoveCurrent")); // no row selected
    EXPECT_EQ(window->ui().lstFile->count(), 3);
    window->ui().LV->setCurrentIndex(window->ui().lstFile->index(1, 0));
    EXPECT_TRUE(trigger(window.get(), "actionRemoveCurrent"));
    expectListShows({QStringLiteral("/m/A"), QStringLiteral("/m/C")});
    window->ui().LV->setCurrentIndex(window->ui().lstFile->index(1, 0));
    EXPECT_TRUE(trigger(window.get(), "actionRemoveCurrent"));
    window->ui().LV->setCurrentIndex(window->ui().lstFile->index(0, 0));
    EXPECT_TRUE(trigger(window.get(), "actionRemoveCurrent"));
    expectListShows({});
}

TEST_F(FileListCommands, RemoveAllEmptiesAListOf500Rows)
{
    QList<QString> many;
    for (int i = 0; i < 500; ++i)
        many.append(QStringLiteral("/m/%1.wav").arg(i));
    window->ui().lstFile->appendMany(many);
    EXPECT_TRUE(trigger(window.get(), "actionRemoveAll"));
    expectListShows({});
    MsgBoxRecorder boxes;
    EXPECT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Please add a file"));
}

TEST_F(FileListCommands, AddFolderAppendsTheTreeAfterTheRowsAlreadyListed)
{
    QDir(folder.path()).mkpath(QStringLiteral("music/sub"));
    QFile(folder.filePath(QStringLiteral("music/one.mp3"))).open(QIODevice::WriteOnly);
    QFile(folder.filePath(QStringLiteral("music/sub/two.wav"))).open(QIODevice::WriteOnly);
    window->ui().lstFile->append(QStringLiteral("/m/first.wav"));
    FolderDialog::setAnswerer([&](const QString& title) -> std::optional<QString> {
        EXPECT_EQ(title, QStringLiteral("Please select a folder:"));
        return folder.filePath(QStringLiteral("music"));
    });
    EXPECT_TRUE(trigger(window.get(), "actionAddFolder"));
    expectListShows({QStringLiteral("/m/first.wav"), folder.filePath(QStringLiteral("music/one.mp3")),
                     folder.filePath(QStringLiteral("music/sub/two.wav"))});
    EXPECT_EQ(window->ui().lblText->text(), QStringLiteral("Drag & Drop Files Here"));

    FolderDialog::setAnswerer([](const QString&) { return std::optional<QString>(); });
    EXPECT_TRUE(trigger(window.get(), "actionAddFolder")); // cancelled: nothing added
    EXPECT_EQ(window->ui().lstFile->count(), 3);
    EXPECT_TRUE(trigger(window.get(), "actionRemoveAll"));
    EXPECT_TRUE(trigger(window.get(), "actionAddFolder"));
    expectListShows({});
    EXPECT_EQ(window->ui().lblText->text(), QStringLiteral("Drag & Drop Files Here"));
}

// A tree big enough that the scan lets the window's events through more than once.
QString makeTree(const QString& root)
{
    const QString tree = root + QStringLiteral("/tree");
    for (int d = 0; d < 40; ++d) {
        const QString sub = tree + QStringLiteral("/d%1").arg(d);
        QDir().mkpath(sub);
        for (int f = 0; f < 100; ++f)
            QFile(sub + QStringLiteral("/f%1.wav").arg(f)).open(QIODevice::WriteOnly);
    }
    return tree;
}

TEST_F(FileListCommands, ScanShowsItsCaptionAndCommandsThatChangeTheListWaitLookingItAndDropsAreKept)
{
    const QString tree = makeTree(folder.path());
    int interruptions = 0;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (!window->isListBusy())
            return;
        ++interruptions;
        EXPECT_EQ(window->ui().lblText->text(), QStringLiteral("Searching Files..."));
        EXPECT_FALSE(window->ui().picText->isHidden());
        for (int i : {0, 1, 6})
            EXPECT_FALSE(window->ui().imgToolbar[i]->isEnabled()) << i;
        EXPECT_TRUE(window->ui().imgToolbar[2]->isEnabled()) << "options do not change the list";
        EXPECT_FALSE(window->popupMenus()->menuAddaFolder->isEnabled());
        EXPECT_FALSE(window->popupMenus()->menuRemoveAll->isEnabled());
        EXPECT_TRUE(window->ui().imgConvert->isEnabled()) << "it stops the scan";
        EXPECT_FALSE(trigger(window.get(), "actionAddFolder"));
        EXPECT_FALSE(trigger(window.get(), "actionRemoveAll"));
        if (interruptions == 1) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(QStringLiteral("/m/dropped.wav"))});
            EXPECT_TRUE(drop(window->ui().LV->viewport(), &mime));
        }
        answers = {QStringLiteral("/m/added.wav")};
        EXPECT_FALSE(trigger(window.get(), "actionAddFiles"));
    });
    poke.start(0);
    FolderDialog::setAnswerer([&](const QString&) -> std::optional<QString> { return tree; });
    EXPECT_TRUE(trigger(window.get(), "actionAddFolder"));
    poke.stop();
    EXPECT_GT(interruptions, 0) << "the scan never let events through";
    ASSERT_EQ(window->ui().lstFile->count(), 4001);
    EXPECT_EQ(window->ui().lstFile->at(4000), QStringLiteral("/m/dropped.wav")) << "a drop joins once the scan ends";
    EXPECT_FALSE(window->ui().lstFile->paths().contains(QStringLiteral("/m/added.wav")));
    EXPECT_FALSE(window->isConverting());
    EXPECT_FALSE(window->isListBusy());
    EXPECT_TRUE(window->ui().imgToolbar[6]->isEnabled());
    EXPECT_TRUE(window->popupMenus()->menuAddaFolder->isEnabled());
}

TEST_F(FileListCommands, TheStopButtonEndsAScanAndKeepsWhatItFound)
{
    const QString tree = makeTree(folder.path());
    int interruptions = 0;
    QTimer poke;
    QObject::connect(&poke, &QTimer::timeout, [&] {
        if (window->isScanning() && ++interruptions == 2) {
            EXPECT_TRUE(trigger(window.get(), "actionStop"));
        }
    });
    poke.start(0);
    FolderDialog::setAnswerer([&](const QString&) -> std::optional<QString> { return tree; });
    EXPECT_TRUE(trigger(window.get(), "actionAddFolder"));
    poke.stop();
    ASSERT_GE(interruptions, 2);
    EXPECT_GT(window->ui().lstFile->count(), 0);
    EXPECT_LT(window->ui().lstFile->count(), 4000);
    for (const QString& p : window->ui().lstFile->paths())
        EXPECT_TRUE(p.startsWith(tree + QLatin1Char('/'))) << p.toStdString();
    EXPECT_FALSE(window->isScanning());
    EXPECT_FALSE(window->isConverting()) << "the click stopped the scan, it started nothing";
    EXPECT_EQ(window->ui().lblText->text(), QStringLiteral("Drag & Drop Files Here"));
}

TEST_F(FileListCommands, DropsDuringABatchJoinIt)
{
    ProgramFolder program;
    // The first file's tool is held until the drop has come.
    ScopedEnv ops("FAKE_TOOL_OPS",
                  "pidto:" + program.file("pids.txt").toUtf8() + ";waitfor:" + program.file("go").toUtf8() + ";touch");
    OpenedUrls opened;
    Sound::setPlayer([](const QString&) {});
    window = std::make_unique<frmMain>(program.path());
    window->ui().txtPath->setText(program.file("out"));
    window->ui().lstFile->append(program.file("first.wav"));
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return pidsIn(program.file("pids.txt")).size() == 1; }, 30000));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(program.file("dropped.wav"))});
    ASSERT_TRUE(drop(window->ui().LV->viewport(), &mime));
    EXPECT_TRUE(window->isConverting());
    release(program.file("go"));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(window->lastBatch().converted(), 2);
    EXPECT_TRUE(QFile::exists(program.file("out/dropped.wma")));
    Sound::setPlayer({});
}

} // namespace
