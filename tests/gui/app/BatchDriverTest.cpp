#include "TestSupport.h"
#include "app/frmMain.h"
#include "convert/DOSOutputs.h"
#include "filelist/FileQueue.h"
#include "filelist/FileSearch.h"
#include "ui/HotArea.h"
#include "ui/Sound.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QMimeData>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

class BatchDriver : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sound::setPlayer([this](const QString& p) { sounds.append(p); });
        window = std::make_unique<frmMain>(folder.path());
        window->ui().txtPath->setText(folder.file("out"));
        // One file at a time, as the program converts with "Files at once" at 1.
        window->options().FilesAtOnce = 1;
    }
    void TearDown() override
    {
        window.reset();
        Sound::setPlayer({});
    }

    // Starts the batch and waits for its end; false when it never ended.
    bool runBatch(int timeoutMs = 60000)
    {
        QSignalSpy finished(window.get(), &frmMain::batchFinished);
        return trigger(window.get(), "actionConvert") && finished.wait(timeoutMs);
    }

    QStringList loggedInputs() const
    {
        QFile f(folder.file("log.txt"));
        QStringList inputs;
        if (!f.open(QIODevice::ReadOnly))
            return inputs;
        for (const QByteArray& line : f.readAll().split('\n')) {
            const QList<QByteArray> args = line.split('\x1f');
            if (args.size() > 1)
                inputs.append(QString::fromUtf8(args[1]));
        }
        return inputs;
    }

    ProgramFolder folder;
    MsgBoxRecorder boxes;
    OpenedUrls opened;
    QStringList sounds;
    std::unique_ptr<frmMain> window;
};

TEST_F(BatchDriver, StartWithAnEmptyListAsksForAFileAndLocksNothing)
{
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("Please add a file"));
    EXPECT_EQ(boxes.shown()[0].title, QStringLiteral("Add"));
    EXPECT_EQ(boxes.shown()[0].icon, MsgBox::Icon::Exclamation);
    EXPECT_TRUE(window->ui().imgConvert->isEnabled());
    EXPECT_TRUE(window->ui().imgToolbar[0]->isEnabled());
    EXPECT_FALSE(window->batch()->Timer1->isActive());
}

TEST_F(BatchDriver, OneFileConvertsWithProgressThenTheWindowUnlocks)
{
    ScopedEnv ops("FAKE_TOOL_OPS", "out:  Duration: 00:00:10.00, start\\n;sleep:30;"
                                   "out:size= 1kB time=00:00:05.00 bitrate\\r;sleep:30;touch");
    QStringList captions;
    QObject::connect(window->batch()->objDOS, &DOSOutputs::ReceiveOutputs,
                     [&] { captions.append(window->ui().lblPB->text()); });
    window->ui().lstFile->append(folder.file("song.one.wav"));

    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    for (HotArea* a :
         {window->ui().imgToolbar[0], window->ui().imgToolbar[6], window->ui().imgToolbar[4], window->ui().imgMenu[1]})
        EXPECT_FALSE(a->isEnabled());
    EXPECT_FALSE(window->ui().lblFeed->isEnabled());
    EXPECT_TRUE(window->ui().imgConvert->isEnabled()) << "the start button is the Stop button now";
    EXPECT_FALSE(window->ui().imgConvert->look().isNull());
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("0%")) << "the label keeps its text until the first report";
    ASSERT_TRUE(finished.wait(30000));

    EXPECT_TRUE(captions.contains(QStringLiteral("50%")));
    EXPECT_EQ(window->ui().lstFile->count(), 0);
    EXPECT_TRUE(QFile::exists(folder.file("out/song.one.wma")));
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
    EXPECT_EQ(window->ui().imgPB->width(), 0);
    EXPECT_EQ(window->batch()->lTotalSeconds, 0);
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(folder.file("out"))});
    EXPECT_EQ(sounds, QStringList{folder.file("sound.wav")});
    EXPECT_TRUE(window->ui().imgConvert->isEnabled());
    EXPECT_TRUE(window->ui().imgToolbar[6]->isEnabled());
    EXPECT_TRUE(window->ui().lblFeed->isEnabled());
    EXPECT_FALSE(window->ui().picDrag->isHidden());
    EXPECT_TRUE(boxes.shown().isEmpty());
}

TEST_F(BatchDriver, SeveralFilesRunInOrderAndTheSamePathTwiceConvertsOnce)
{
    ScopedEnv ops("FAKE_TOOL_OPS", "logto:" + folder.file("log.txt").toUtf8() + ";touch");
    window->options().SoundReminder = 1;
    const QStringList inputs = {folder.file("a.wav"), folder.file("b.flac"), folder.file("a.wav")};
    for (const QString& in : inputs)
        window->ui().lstFile->append(in);
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(loggedInputs(), inputs.mid(0, 2));
    EXPECT_EQ(window->lastBatch().converted(), 3) << "the second row ends with the first, as converted";
    EXPECT_TRUE(window->ui().lstFile->isEmpty());
    EXPECT_FALSE(QFile::exists(folder.file("out/a (2).wma")));
    EXPECT_TRUE(sounds.isEmpty()) << "the reminder is off";
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
}

TEST_F(BatchDriver, ALibraryConvertedIntoItselfGetsOneWholeNamedOutputPerTrackAndKeepsEveryOriginal)
{
    ScopedEnv ops("FAKE_TOOL_OPS", "touch");
    window->options().SoundReminder = 1;
    const QDir lib(folder.file("lib"));
    for (const char* album : {"Album A", "Album B"})
        ASSERT_TRUE(lib.mkpath(QString::fromLatin1(album)));
    for (const char* f : {"Album A/01. Jenny.flac", "Album A/02. Mr. Brightside.flac", "Album B/01. Jenny.flac",
                          "Track 1.wav", "Track 10.wav", "Track 2.wav", "a.wav", "a.mp3"}) {
        QFile file(lib.filePath(QString::fromLatin1(f)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("original");
    }
    QList<QString> inputs;
    FileSearch::SearchFolder(lib.path(), inputs);
    window->ui().lstFile->appendMany(inputs);
    window->ui().cmbOF->setCurrentIndex(0); // MP3
    // A relative folder is in the home folder, for the tool and for the folder opened at the end, wherever
    // the program was started.
    ScopedEnv home("HOME", folder.path().toUtf8());
    window->ui().txtPath->setText(QStringLiteral("lib"));
    ASSERT_TRUE(runBatch());

    EXPECT_EQ(window->lastBatch().converted(), 8);
    EXPECT_TRUE(window->ui().lstFile->isEmpty());
    for (const char* out : {"a (2).mp3", "a (3).mp3", "Track 1.mp3", "Track 2.mp3", "Track 10.mp3", "01. Jenny.mp3",
                            "01. Jenny (2).mp3", "02. Mr. Brightside.mp3"})
        EXPECT_TRUE(QFile::exists(lib.filePath(QString::fromLatin1(out)))) << out;
    QFile original(lib.filePath(QStringLiteral("a.mp3")));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), QByteArray("original"));
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(lib.path())});
}

TEST_F(BatchDriver, FilesAddedWhileABatchRunsJoinIt)
{
    const QString go = folder.file("go");
    ScopedEnv ops("FAKE_TOOL_OPS", "logto:" + folder.file("log.txt").toUtf8() + ";waitfor:" + go.toUtf8() + ";touch");
    window->ui().lstFile->append(folder.file("first.wav"));
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    // The first file's tool is held while the late file is added.
    ASSERT_TRUE(QTest::qWaitFor([&] { return loggedInputs().size() == 1; }, 30000));
    window->ui().lstFile->append(folder.file("late.wav"));
    release(go);
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_EQ(loggedInputs(), (QStringList{folder.file("first.wav"), folder.file("late.wav")}));
    EXPECT_EQ(window->ui().lstFile->count(), 0);
}

TEST_F(BatchDriver, TheSetupIsFixedWhileABatchRunsAndTheSelectorsComeBackAtItsEnd)
{
    const QString go = folder.file("go");
    ScopedEnv ops("FAKE_TOOL_OPS", "logto:" + folder.file("log.txt").toUtf8() + ";waitfor:" + go.toUtf8() + ";touch");
    window->ui().lstFile->appendMany({folder.file("a.wav"), folder.file("b.wav")});
    window->ui().cmbOF->setCurrentIndex(0); // MP3
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    window->ui().cmbOF->setFocus(Qt::TabFocusReason);
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return loggedInputs().size() == 1; }, 30000));
    // A user who reaches for the format list or the folder meanwhile changes nothing.
    const std::initializer_list<QWidget*> locked = {
        window->ui().cmbOF,   window->ui().cmbBR,     window->ui().cmbR,        window->ui().cmbChannel,
        window->ui().txtPath, window->ui().imgBrowse, window->ui().picButtonOF, window->ui().picButtonBR};
    for (QWidget* w : locked)
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(QApplication::focusWidget(), window->ui().LV) << "the selector's focus went to the list";
    QTest::keyClick(window->ui().cmbOF, Qt::Key_Down);
    QTest::mouseClick(window->ui().picButtonOF, Qt::LeftButton);
    EXPECT_FALSE(window->ui().cmbOF->view()->isVisible());
    EXPECT_FALSE(trigger(window.get(), "actionBrowse"));
    EXPECT_EQ(window->ui().cmbOF->currentIndex(), 0);
    release(go);
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_TRUE(QFile::exists(folder.file("out/a.mp3")));
    EXPECT_TRUE(QFile::exists(folder.file("out/b.mp3")));
    for (QWidget* w : std::initializer_list<QWidget*>{window->ui().cmbOF, window->ui().txtPath, window->ui().imgBrowse})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
}

TEST_F(BatchDriver, FailedConversionsAreReportedAndPutBackNeverCountedDone)
{
    // b fails with a status, d writes nothing; a, c and e convert.
    ScopedEnv ops("FAKE_TOOL_OPS", "out:working\\n;failif:/b.;touchif:/a.;touchif:/e.;touchif:/c.;"
                                   "out:Something broke\\r\\n");
    for (const char* name : {"a.wav", "b.wav", "c.wav", "d.wav", "e.wav"})
        window->ui().lstFile->append(folder.file(name));
    ASSERT_TRUE(runBatch());

    EXPECT_EQ(window->lastBatch().converted(), 3);
    EXPECT_EQ(window->ui().lstFile->paths(), (QList<QString>{folder.file("b.wav"), folder.file("d.wav")}));
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("2 failed."));
    ASSERT_EQ(boxes.shown().size(), 1);
    const MsgBox::Shown& box = boxes.shown()[0];
    EXPECT_EQ(box.icon, MsgBox::Icon::Warning);
    EXPECT_TRUE(box.text.contains("\nb.wav: working\n"));
    EXPECT_TRUE(box.text.contains("\nd.wav: Something broke\n"));
    EXPECT_FALSE(box.text.contains("a.wav"));
    EXPECT_EQ(box.details, folder.file("b.wav") + "\n    working\n" + folder.file("d.wav") + "\n    Something broke\n");
}

TEST_F(BatchDriver, AToolKilledBySignalIsAFailureWithThatReasonAndItsPartFileGoes)
{
    // Another window's tool is writing into the same folder: its part file is not ours to remove.
    ASSERT_TRUE(QDir().mkpath(folder.file("out")));
    const QString theirs = folder.file("out/.x.wma.part-1-other1");
    QFile(theirs).open(QIODevice::WriteOnly);
    ScopedEnv ops("FAKE_TOOL_OPS", "part;out:size=      31kB time=00:00:01.35 bitrate= 188.1kbits/s\r;kill:9");
    window->ui().lstFile->append(folder.file("x.wav"));
    ASSERT_TRUE(runBatch());
    ASSERT_EQ(window->lastBatch().failures().size(), 1);
    EXPECT_EQ(window->lastBatch().failures()[0].lastLine,
              QStringLiteral("the conversion tool was ended by signal 9 (Killed)"));
    EXPECT_EQ(window->ui().lstFile->count(), 1);
    EXPECT_EQ(QDir(folder.file("out")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QFileInfo(theirs).fileName()});
    EXPECT_TRUE(opened.urls.isEmpty()) << "nothing was converted: no folder opens";
}

TEST_F(BatchDriver, TheNameTheToolRecordsIsTheOutputItWroteAndNoLaterFileGetsIt)
{
    // On a stick that refuses some characters the tool writes the mapped name, and a file that took that
    // name meanwhile makes it take " (2)". Its record says so (never the name itself).
    const QString written = folder.file("out/Live_ _Best__ (2).wma");
    ScopedEnv ops("FAKE_TOOL_OPS", "touchif:LIVE_;endif:LIVE_;record:name 2 1\\n;touchat:" + written.toUtf8());
    window->ui().lstFile->append(folder.file("Live: \"Best\"?.wav"));
    // Its output name differs from the one written only in case: one file on such a stick.
    window->ui().lstFile->append(folder.file("LIVE_ _BEST__ (2).wav"));
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->lastBatch().converted(), 2);
    EXPECT_TRUE(window->lastBatch().failures().isEmpty());
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_TRUE(window->ui().lstFile->isEmpty());
    EXPECT_TRUE(QFile::exists(written));
    EXPECT_TRUE(QFile::exists(folder.file("out/LIVE_ _BEST__ (2) (2).wma")));
    EXPECT_FALSE(QFile::exists(folder.file("out/LIVE_ _BEST__ (2).wma")));
    EXPECT_EQ(opened.urls, QList<QUrl>{QUrl::fromLocalFile(folder.file("out"))});
}

TEST_F(BatchDriver, AnOutputFolderThatCannotBeUsedStopsTheBatchBeforeAnyFileWithOneMessage)
{
    ScopedEnv ops("FAKE_TOOL_OPS", "logto:" + folder.file("log.txt").toUtf8() + ";touch");
    const QList<QString> inputs = {folder.file("a.wav"), folder.file("b.wav")};
    window->ui().lstFile->appendMany(inputs);
    QFile blocker(folder.file("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString notAFolder = folder.file("file/deeper/out");
    window->ui().txtPath->setText(notAFolder);
    ASSERT_TRUE(runBatch(10000));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("The output folder %1 cannot be used: Not a directory").arg(notAFolder));
    EXPECT_EQ(window->ui().lstFile->paths(), inputs);
    EXPECT_FALSE(QFile::exists(folder.file("log.txt"))) << "no file started";
    EXPECT_TRUE(opened.urls.isEmpty());
    EXPECT_FALSE(window->isConverting());

    // Every missing level is made.
    window->ui().txtPath->setText(folder.file("one/two/three"));
    ASSERT_TRUE(runBatch());
    EXPECT_TRUE(QFile::exists(folder.file("one/two/three/a.wma")));
    EXPECT_EQ(boxes.shown().size(), 1);
}

TEST_F(BatchDriver, AReadOnlyOutputFolderStopsTheBatchWithTheSystemsReason)
{
    const QString top = folder.file("ro");
    ASSERT_TRUE(QDir().mkpath(top));
    bool mounted = false;
    if (::geteuid() == 0) {
        // Permissions do not stop root: a read-only mount does.
        mounted = QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "ro,size=1m", "tmpfs", top}) == 0;
        if (!mounted)
            GTEST_SKIP() << "running as root without a way to mount a read-only folder";
    } else {
        QFile::setPermissions(top, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    window->ui().lstFile->append(folder.file("a.wav"));
    window->ui().txtPath->setText(top + QStringLiteral("/Converted"));
    const bool ended = runBatch(10000);
    if (mounted)
        QProcess::execute(QStringLiteral("umount"), {top});
    else
        QFile::setPermissions(top, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ASSERT_TRUE(ended);
    ASSERT_EQ(boxes.shown().size(), 1);
    const QString reason = mounted ? QStringLiteral("Read-only file system") : QStringLiteral("Permission denied");
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("The output folder %1/Converted cannot be used: %2").arg(top, reason));
    EXPECT_EQ(window->ui().lstFile->paths(), QList<QString>{folder.file("a.wav")});
}

TEST_F(BatchDriver, AStoppedConvExeOfAnotherProgramNeverHoldsTheBatch)
{
    QProcess stranger;
    stranger.start(folder.toolPath(), {QStringLiteral("waitfor:") + folder.file("never")});
    ASSERT_TRUE(stranger.waitForStarted());
    ::kill(pid_t(stranger.processId()), SIGSTOP);
    ScopedEnv ops("FAKE_TOOL_OPS", "touch");
    window->options().FilesAtOnce = 1;
    window->ui().lstFile->append(folder.file("a.wav"));
    const bool ended = runBatch();
    ::kill(pid_t(stranger.processId()), SIGKILL);
    stranger.waitForFinished();
    ASSERT_TRUE(ended);
    EXPECT_EQ(window->lastBatch().converted(), 1);
    EXPECT_TRUE(QFile::exists(folder.file("out/a.wma")));
}

TEST_F(BatchDriver, AToolThatCannotStartEndsTheBatchAndUnlocksTheWindowWithTheFileAtTheHead)
{
    QFile::remove(folder.toolPath());
    window->ui().lstFile->append(folder.file("x.wav"));
    window->ui().lstFile->append(folder.file("y.wav"));
    ASSERT_TRUE(runBatch(10000));
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_EQ(boxes.shown()[0].text, QStringLiteral("File or command not found"));
    EXPECT_EQ(window->ui().lstFile->paths(), (QList<QString>{folder.file("x.wav"), folder.file("y.wav")}));
    EXPECT_FALSE(window->isConverting());
    EXPECT_TRUE(window->ui().imgConvert->isEnabled());
    EXPECT_TRUE(window->ui().imgToolbar[0]->isEnabled());
    EXPECT_TRUE(window->ui().imgMenu[0]->isEnabled());
    EXPECT_TRUE(window->ui().lblFeed->isEnabled());
    EXPECT_TRUE(opened.urls.isEmpty());
    EXPECT_TRUE(sounds.isEmpty());
}

bool zombieOrGone(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray text = stat.readAll();
    return text.mid(text.lastIndexOf(')') + 2, 1) == "Z";
}

TEST_F(BatchDriver, StopEndsTheBatchAtOnceTheToolsGroupBySigtermAndKeepsEveryFileNotConverted)
{
    // first.wav fails, second.wav is converting when Stop comes, third.wav waits.
    const QString signalLog = folder.file("signals.txt");
    ScopedEnv ops("FAKE_TOOL_OPS",
                  "failif:/first.;termto:" + signalLog.toUtf8() + ";childto:" + folder.file("child.pid").toUtf8() +
                      ";out:  Duration: 00:01:00.00, start\n;waitfor:" + folder.file("never").toUtf8() + ";touch");
    const QStringList inputs = {folder.file("first.wav"), folder.file("second.wav"), folder.file("third.wav")};
    for (const QString& in : inputs)
        window->ui().lstFile->append(in);
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(folder.file("child.pid")); }, 10000));
    QFile pidFile(folder.file("child.pid"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFileInfo(pidFile).size() > 0; }, 5000));
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const pid_t child = pid_t(pidFile.readAll().toInt());
    ASSERT_GT(child, 0);
    const pid_t tool = window->batch()->objDOS->processId();
    ASSERT_GT(tool, 0);

    ASSERT_TRUE(trigger(window.get(), "actionStop"));
    EXPECT_EQ(finished.count(), 1) << "Stop ends the batch before it returns";
    EXPECT_FALSE(window->isConverting());
    EXPECT_EQ(window->ui().lstFile->paths(), (QList<QString>{inputs[1], inputs[2], inputs[0]}));
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Stopped."));
    EXPECT_TRUE(sounds.isEmpty());
    EXPECT_TRUE(opened.urls.isEmpty());
    ASSERT_EQ(boxes.shown().size(), 1) << "the earlier failure is reported";
    EXPECT_TRUE(boxes.shown()[0].details.contains(inputs[0]));
    EXPECT_TRUE(window->ui().imgToolbar[0]->isEnabled());
    // SIGTERM went to the whole group, and ended the tool and its own child before any SIGKILL could.
    const QStringList byTerm = {QStringLiteral("term %1").arg(tool), QStringLiteral("term %1").arg(child)};
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            const QStringList seen = linesOf(signalLog);
            return seen.contains(byTerm[0]) && seen.contains(byTerm[1]);
        },
        30000))
        << linesOf(signalLog).join(' ').toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return zombieOrGone(child) && !toolGroupRunning(tool); }, 30000));
    EXPECT_FALSE(QFile::exists(folder.file("out/second.wma")));
}

TEST_F(BatchDriver, AToolThatIgnoresStopIsKilledLaterAndOnlyItsOwnPartFileRemoved)
{
    // The user's file holds the output name, so the tool writes "second (2).wma"; another window's tool
    // writes a part file for the same name beside it. Ours ignores SIGTERM.
    ASSERT_TRUE(QDir().mkpath(folder.file("out")));
    const QString older = folder.file("out/second.wma");
    QFile user(older);
    ASSERT_TRUE(user.open(QIODevice::WriteOnly));
    user.write("the user's");
    user.close();
    const QString theirs = folder.file("out/.second (2).wma.part-1-other1");
    QFile(theirs).open(QIODevice::WriteOnly);
    const QString signalLog = folder.file("signals.txt");
    ScopedEnv ops("FAKE_TOOL_OPS", "shrugto:" + signalLog.toUtf8() +
                                       ";part;out:started\n;waitfor:" + folder.file("never").toUtf8() + ";touch");
    window->ui().lstFile->append(folder.file("second.wav"));
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window->batch()->objDOS->processId() > 0; }, 30000));
    const pid_t tool = window->batch()->objDOS->processId();
    const QString part = folder.file(QStringLiteral("out/.second (2).wma.part-%1-fake01").arg(tool));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window->batch()->objDOS->Outputs().contains(QStringLiteral("started")); }, 30000));
    ASSERT_TRUE(QFile::exists(part));
    QSignalSpy toolsEnded(window->batch(), &::BatchDriver::toolsEnded);
    ASSERT_TRUE(trigger(window.get(), "actionStop"));
    EXPECT_EQ(finished.count(), 1) << "Stop ends the batch before it returns";
    EXPECT_EQ(window->ui().lstFile->paths(), QList<QString>{folder.file("second.wav")});
    // The tool heard SIGTERM and went on; held for ever, only the SIGKILL that follows ends it. Then
    // what it left half-written goes.
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return linesOf(signalLog).contains(QStringLiteral("term %1").arg(tool)); }, 30000));
    EXPECT_TRUE(toolsEnded.count() == 1 || toolsEnded.wait(30000));
    EXPECT_FALSE(toolGroupRunning(tool));
    EXPECT_FALSE(QFile::exists(part));
    EXPECT_FALSE(QFile::exists(folder.file("out/second (2).wma")));
    EXPECT_TRUE(QFile::exists(theirs));
    QFile kept(older);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray("the user's"));
}

TEST_F(BatchDriver, AToolThatFinishesItsFileAfterStopCountsAsConvertedAndItsOutputStays)
{
    // It writes its output as the stop comes and ends well.
    ScopedEnv ops("FAKE_TOOL_OPS", "finishonterm;out:started\n;waitfor:" + folder.file("never").toUtf8());
    window->ui().lstFile->append(folder.file("late.wav"));
    window->ui().lstFile->append(folder.file("next.wav"));
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return window->batch()->objDOS->Outputs().contains(QStringLiteral("started")); }, 10000));
    ASSERT_TRUE(trigger(window.get(), "actionStop"));
    EXPECT_EQ(finished.count(), 1) << "Stop ends the batch before it returns";
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->ui().lstFile->count() == 1; }, 30000));
    EXPECT_EQ(window->ui().lstFile->paths(), QList<QString>{folder.file("next.wav")});
    EXPECT_EQ(window->lastBatch().converted(), 1);
    EXPECT_TRUE(QFile::exists(folder.file("out/late.wma")));
}

TEST_F(BatchDriver, ProgressAndTheEndOfTheBatchGoOnWhileAModalDialogIsOpen)
{
    // The tool goes on only while the dialog is open: each report waits for the one before to be seen.
    const QByteArray modal = folder.file("modal").toUtf8();
    const QByteArray seen20 = folder.file("seen20").toUtf8();
    const QByteArray seen50 = folder.file("seen50").toUtf8();
    ScopedEnv ops("FAKE_TOOL_OPS", "out:  Duration: 00:00:10.00, start\\n;waitfor:" + modal +
                                       ";out:time=00:00:02.00 \\r;waitfor:" + seen20 +
                                       ";out:time=00:00:05.00 \\r;waitfor:" + seen50 + ";touch");
    window->ui().lstFile->append(folder.file("a.wav"));
    QStringList captionsWhileModal;
    bool endedWhileModal = false;
    QDialog dialog(window.get());
    dialog.setModal(true);
    QObject::connect(window->batch(), &::BatchDriver::progressChanged, [&](int, const QString& caption) {
        if (!dialog.isVisible())
            return;
        captionsWhileModal.append(caption);
        if (caption == QLatin1String("20%"))
            release(QString::fromUtf8(seen20));
        if (caption == QLatin1String("50%"))
            release(QString::fromUtf8(seen50));
    });
    QObject::connect(window.get(), &frmMain::batchFinished, [&] {
        endedWhileModal = dialog.isVisible();
        dialog.accept();
    });
    // The dialog opens while the tool runs, from an event the run delivered: a runner that waited in a
    // loop of its own would be frozen under it.
    bool closed = false;
    bool opened = false;
    QObject::connect(window->batch()->objDOS, &DOSOutputs::ReceiveOutputs, [&] {
        if (std::exchange(opened, true))
            return;
        QTimer::singleShot(0, [&] {
            // Should the batch never end, the dialog still closes and the test ends.
            QTimer::singleShot(90000, &dialog, &QDialog::reject);
            QTimer::singleShot(0, &dialog, [&] { release(QString::fromUtf8(modal)); });
            dialog.exec();
            closed = true;
        });
    });
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return closed; }, 120000));
    EXPECT_TRUE(captionsWhileModal.contains(QStringLiteral("20%")));
    EXPECT_TRUE(captionsWhileModal.contains(QStringLiteral("50%")));
    EXPECT_TRUE(endedWhileModal);
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
}

TEST_F(BatchDriver, ThousandFilesRunWithoutTheCallDepthGrowing)
{
    ScopedEnv ops("FAKE_TOOL_OPS", "touch");
    window->options().SoundReminder = 1;
    for (int i = 0; i < 1000; ++i)
        window->ui().lstFile->append(folder.file(QStringLiteral("f%1.wav").arg(i)));
    quintptr deepest = ~quintptr(0);
    quintptr shallowest = 0;
    QObject::connect(window->batch()->objDOS, &DOSOutputs::CommandOver, [&] {
        const auto sp = reinterpret_cast<quintptr>(__builtin_frame_address(0));
        deepest = std::min(deepest, sp);
        shallowest = std::max(shallowest, sp);
    });
    ASSERT_TRUE(runBatch(300000));
    EXPECT_EQ(window->lastBatch().converted(), 1000);
    EXPECT_LT(shallowest - deepest, 4096u) << "the stack grew by " << (shallowest - deepest) << " bytes";
}

// Several files at once: each slot its own tool, files started in list order.
struct Span
{
    QString input;
    qint64 begin = 0;
    qint64 end = 0;
};

QList<Span> spans(const QString& logPath)
{
    QFile f(logPath);
    QList<Span> out;
    if (!f.open(QIODevice::ReadOnly))
        return out;
    QMap<QString, QList<qint64>> begins;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const int a = line.indexOf(' ');
        const int b = line.indexOf(' ', a + 1);
        if (a < 0 || b < 0)
            continue;
        const QString input = QString::fromUtf8(line.mid(b + 1));
        const qint64 t = line.mid(a + 1, b - a - 1).toLongLong();
        if (line.startsWith("begin")) {
            out.append({input, t, 0});
        } else {
            for (Span& s : out) {
                if (s.input == input && s.end == 0) {
                    s.end = t;
                    break;
                }
            }
        }
    }
    std::sort(out.begin(), out.end(), [](const Span& x, const Span& y) { return x.begin < y.begin; });
    return out;
}

int mostAtOnce(const QList<Span>& all)
{
    int most = 0;
    for (const Span& s : all) {
        int at = 0;
        for (const Span& o : all)
            at += o.begin <= s.begin && (o.end == 0 || o.end > s.begin);
        most = std::max(most, at);
    }
    return most;
}

TEST_F(BatchDriver, SeveralAtOnceNeverRunMoreToolsThanSlotsAndStartInListOrder)
{
    const QByteArray log = folder.file("spans.txt").toUtf8();
    const QString go = folder.file("go");
    // The first tools are held until three have begun; the later ones find them released.
    ScopedEnv ops("FAKE_TOOL_OPS", "begin:" + log +
                                       ";out:  Duration: 00:00:10.00, start\\n;out:time=00:00:05.00 \\r;waitfor:" +
                                       go.toUtf8() + ";touch;end:" + log);
    window->options().FilesAtOnce = 3;
    window->options().SoundReminder = 1;
    QList<QString> inputs;
    for (int i = 0; i < 8; ++i)
        inputs.append(folder.file(QStringLiteral("t%1.wav").arg(i)));
    window->ui().lstFile->appendMany(inputs);
    QList<QString> started;
    QObject::connect(window->batch(), &::BatchDriver::fileStarted, [&](const QString& input, int row) {
        started.append(input);
        EXPECT_EQ(window->ui().lstFile->at(row), input) << "the files converting are the first rows";
    });
    int mostProgressRows = 0;
    QObject::connect(window->ui().lstFile, &QAbstractItemModel::dataChanged, [&] {
        int rows = 0;
        for (int r = 0; r < window->ui().lstFile->count(); ++r)
            rows += window->ui().lstFile->rowProgress(r) >= 0;
        mostProgressRows = std::max(mostProgressRows, rows);
    });
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return spans(folder.file("spans.txt")).size() == 3; }, 30000));
    EXPECT_EQ(window->batch()->running(), 3);
    release(go);
    ASSERT_TRUE(finished.wait(60000));
    const QList<Span> ran = spans(folder.file("spans.txt"));
    ASSERT_EQ(ran.size(), 8);
    EXPECT_EQ(started, inputs);
    EXPECT_EQ(mostAtOnce(ran), 3);
    EXPECT_EQ(window->lastBatch().converted(), 8);
    EXPECT_EQ(mostProgressRows, 3) << "each row being converted shows how far it has come";
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
    for (int r = 0; r < window->ui().lstFile->count(); ++r)
        EXPECT_EQ(window->ui().lstFile->rowProgress(r), -1);
}

TEST_F(BatchDriver, SeveralAtOnceAFailureInOneSlotComesBackAndTheBatchEndsAfterTheLastSlot)
{
    // bad.wav fails at once while slow.wav runs in the other slot: slow.wav's tool is held until then.
    const QString go = folder.file("go");
    const QString pids = folder.file("pids.txt");
    ScopedEnv ops("FAKE_TOOL_OPS", "pidto:" + pids.toUtf8() + ";failif:/bad.;waitfor:" + go.toUtf8() + ";touch");
    window->options().FilesAtOnce = 2;
    const QList<QString> inputs = {folder.file("slow.wav"), folder.file("bad.wav"), folder.file("c.wav"),
                                   folder.file("d.wav")};
    window->ui().lstFile->appendMany(inputs);
    bool slowRanMeanwhile = false;
    QObject::connect(window->batch(), &::BatchDriver::fileEnded, [&](const QString& input) {
        if (input != folder.file("bad.wav"))
            return;
        slowRanMeanwhile = window->ui().lstFile->at(0) == folder.file("slow.wav") && window->batch()->running() == 1;
        release(go);
    });
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_TRUE(finished.wait(60000));
    EXPECT_TRUE(slowRanMeanwhile);
    EXPECT_EQ(window->lastBatch().converted(), 3);
    EXPECT_EQ(window->ui().lstFile->paths(), QList<QString>{folder.file("bad.wav")});
    for (const char* out : {"out/slow.wma", "out/c.wma", "out/d.wma"})
        EXPECT_TRUE(QFile::exists(folder.file(out))) << out << " was written before the batch ended";
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_TRUE(boxes.shown()[0].details.contains(folder.file("bad.wav")));
    const QList<qint64> tools = pidsIn(pids);
    EXPECT_EQ(tools.size(), 4);
    for (qint64 pid : tools)
        EXPECT_FALSE(toolGroupRunning(pid)) << pid << " is still running after the batch";
}

TEST_F(BatchDriver, SeveralAtOnceStopEndsEveryToolAndKeepsAllTheirFiles)
{
    const QString signalLog = folder.file("signals.txt");
    const QString pids = folder.file("pids.txt");
    ScopedEnv ops("FAKE_TOOL_OPS",
                  "termto:" + signalLog.toUtf8() + ";pidto:" + pids.toUtf8() +
                      ";out:  Duration: 00:01:00.00, start\\n;waitfor:" + folder.file("never").toUtf8() + ";touch");
    window->options().FilesAtOnce = 3;
    QList<QString> inputs;
    for (int i = 0; i < 5; ++i)
        inputs.append(folder.file(QStringLiteral("s%1.wav").arg(i)));
    window->ui().lstFile->appendMany(inputs);
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    // Every tool has its handler in place and is held.
    ASSERT_TRUE(QTest::qWaitFor([&] { return pidsIn(pids).size() == 3; }, 30000));
    EXPECT_EQ(window->batch()->running(), 3);
    ASSERT_TRUE(trigger(window.get(), "actionStop"));
    EXPECT_EQ(finished.count(), 1) << "Stop ends the batch before it returns";
    EXPECT_EQ(window->ui().lstFile->paths(), inputs);
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Stopped."));
    for (qint64 tool : pidsIn(pids)) {
        EXPECT_TRUE(
            QTest::qWaitFor([&] { return linesOf(signalLog).contains(QStringLiteral("term %1").arg(tool)); }, 30000))
            << tool << " did not end by SIGTERM";
        EXPECT_TRUE(QTest::qWaitFor([&] { return !toolGroupRunning(tool); }, 30000)) << tool;
    }
    EXPECT_TRUE(QDir(folder.file("out")).isEmpty());
}

TEST_F(BatchDriver, SeveralAtOnceTheSamePathTwiceConvertsOnceAndDropsJoin)
{
    const QByteArray log = folder.file("spans.txt").toUtf8();
    const QString go = folder.file("go");
    ScopedEnv ops("FAKE_TOOL_OPS", "begin:" + log + ";waitfor:" + go.toUtf8() + ";touch;end:" + log);
    window->options().FilesAtOnce = 2;
    window->ui().lstFile->appendMany({folder.file("x.wav"), folder.file("x.wav"), folder.file("y.wav")});
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    // x's tool is held; its second row waits for it, and so does y behind it. The drop comes meanwhile.
    ASSERT_TRUE(QTest::qWaitFor([&] { return spans(folder.file("spans.txt")).size() == 1; }, 30000));
    EXPECT_EQ(window->batch()->running(), 1);
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(folder.file("dropped.wav"))});
    ASSERT_TRUE(drop(window->ui().LV->viewport(), &mime));
    release(go);
    ASSERT_TRUE(finished.wait(60000));
    const QList<Span> ran = spans(folder.file("spans.txt"));
    ASSERT_EQ(ran.size(), 3);
    EXPECT_EQ(std::count_if(ran.cbegin(), ran.cend(), [&](const Span& s) { return s.input == folder.file("x.wav"); }),
              1)
        << "the second copy ended with the first";
    // The drop joins the running batch; whether it starts before y depends on when the slots free up.
    EXPECT_TRUE(
        std::any_of(ran.cbegin(), ran.cend(), [&](const Span& s) { return s.input == folder.file("dropped.wav"); }));
    EXPECT_EQ(window->lastBatch().converted(), 4);
    EXPECT_TRUE(window->ui().lstFile->isEmpty());
}

} // namespace
