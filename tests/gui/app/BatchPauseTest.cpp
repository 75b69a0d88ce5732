// Pausing a batch from the window: the File menu's Pause, its word and Ctrl+P; nothing starts while
// paused, loudness analyses included; held tools finish their file whole, or go with their part file on Stop or on
// leaving.
#include "GuiSupport.h"
#include "app/frmMain.h"
#include "app/frmMenu.h"
#include "filelist/FileQueue.h"
#include "ui/Sound.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

QStringList partFiles(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.part-*")}, QDir::Files | QDir::Hidden);
}

class PausedBatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sound::setPlayer([](const QString&) {});
        window = std::make_unique<frmMain>(folder->path());
        window->ui().txtPath->setText(folder->file("out"));
        window->options().FilesAtOnce = 1;
        window->seams().endProcess = [] {};
        window->seams().scratchFiles = {};
        // Ctrl+P is the window's shortcut: the window must be the active one.
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void TearDown() override
    {
        window.reset();
        Sound::setPlayer({});
    }
    QAction* pause() const { return window->commands()->action(MainCommands::Pause); }

    OpenedUrls opened;
    MsgBoxRecorder boxes;
    std::unique_ptr<ProgramFolder> folder = std::make_unique<ProgramFolder>();
    std::unique_ptr<frmMain> window;
};

TEST_F(PausedBatch, WhilePausedNoFileStartsAndTheCaptionTitleAndMenuSaySoUntilResume)
{
    ScopedEnv ops("FAKE_TOOL_OPS",
                  "out:  Duration: 00:00:10.00, start\\n;out:size= 1kB time=00:00:05.00 bitrate\\r;touch");
    window->ui().lstFile->appendMany({folder->file("a.wav"), folder->file("b.wav")});
    EXPECT_FALSE(pause()->isEnabled()) << "nothing to pause before a batch";
    QStringList started;
    QObject::connect(window->batch(), &BatchDriver::fileStarted, [&](const QString& in, int) { started.append(in); });
    // Ctrl+P as the first file ends, before the next could start.
    bool pressed = false;
    QObject::connect(window->batch(), &BatchDriver::fileEnded, [&] {
        if (!pressed) {
            pressed = true;
            QTest::keyClick(window.get(), Qt::Key_P, Qt::ControlModifier);
        }
    });
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    EXPECT_TRUE(pause()->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor([&] { return pressed; }, 30000));
    // Whatever the end of the first file queued has run by now.
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
    }
    EXPECT_TRUE(window->batch()->isPaused());
    EXPECT_TRUE(window->isConverting());
    EXPECT_EQ(started, QStringList{folder->file("a.wav")});
    EXPECT_EQ(window->ui().lstFile->paths(), QStringList{folder->file("b.wav")});
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Paused"));
    EXPECT_TRUE(window->windowTitle().startsWith(QStringLiteral("Paused - ")));
    EXPECT_EQ(pause()->text(), QStringLiteral("Resume"));
    EXPECT_EQ(window->popupMenus()->menuPause->text(), QStringLiteral("Resume(&R)"));
    EXPECT_EQ(finished.count(), 0);

    // The popup menu's word resumes it, as the item would.
    window->ui().txtAction->setText(QStringLiteral("menuPause"));
    ASSERT_TRUE(finished.count() > 0 || finished.wait(30000));
    EXPECT_EQ(started, (QStringList{folder->file("a.wav"), folder->file("b.wav")}));
    EXPECT_EQ(window->lastBatch().converted(), 2);
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
    EXPECT_FALSE(window->batch()->isPaused());
    EXPECT_FALSE(pause()->isEnabled());
    EXPECT_EQ(pause()->text(), QStringLiteral("Pause"));
    EXPECT_EQ(window->popupMenus()->menuPause->text(), QStringLiteral("Pause(&P)"));
}

TEST_F(PausedBatch, PausedTimeIsCountedOnlyWhilePaused)
{
    ScopedEnv ops("FAKE_TOOL_OPS", "sleep:60000");
    window->ui().lstFile->append(folder->file("a.wav"));
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    EXPECT_EQ(window->batch()->pausedMs(), 0);
    ASSERT_TRUE(trigger(window.get(), "actionPause"));
    QTest::qWait(50);
    ASSERT_TRUE(trigger(window.get(), "actionPause"));
    const qint64 paused = window->batch()->pausedMs();
    EXPECT_GE(paused, 50);
    QTest::qWait(50);
    EXPECT_EQ(window->batch()->pausedMs(), paused) << "converting again: the paused time stands still";
    ASSERT_TRUE(trigger(window.get(), "actionStop"));
}

// The real tool on a long file.
class PausedRealBatch : public PausedBatch
{
protected:
    void SetUp() override
    {
        folder = std::make_unique<ProgramFolder>(buildProgramFolder() + QStringLiteral("/data/conv.exe"));
        PausedBatch::SetUp();
        ASSERT_TRUE(makeTone(folder->file("long.wav"), 120));
        window->ui().lstFile->append(folder->file("long.wav"));
    }
    // Starts the batch and pauses it once the tool is writing its part file; the tool's pid, or -1.
    qint64 startAndPause()
    {
        const QList<qint64> before = childProcesses();
        if (!trigger(window.get(), "actionConvert") ||
            !QTest::qWaitFor([&] { return !partFiles(folder->file("out")).isEmpty(); }, 60000))
            return -1;
        qint64 tool = -1;
        for (qint64 pid : childProcesses()) {
            if (!before.contains(pid) && toolGroupRunning(pid))
                tool = pid;
        }
        if (tool < 0 || !trigger(window.get(), "actionPause"))
            return -1;
        return QTest::qWaitFor([&] { return processState(tool) == 'T'; }, 30000) ? tool : -1;
    }

    ScopedEnv noFfmpeg{"VELTRA_FFMPEG", "/nonexistent/ffmpeg"};
};

TEST_F(PausedRealBatch, AHeldToolWritesNothingAndItsOutputIsWholeAfterResume)
{
    const qint64 tool = startAndPause();
    ASSERT_GT(tool, 0);
    const QStringList parts = partFiles(folder->file("out"));
    ASSERT_EQ(parts.size(), 1);
    const qint64 size = QFileInfo(folder->file("out/") + parts[0]).size();
    QTest::qWait(1000);
    EXPECT_EQ(processState(tool), 'T');
    EXPECT_EQ(QFileInfo(folder->file("out/") + parts[0]).size(), size) << "a held tool writes nothing";

    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    ASSERT_TRUE(trigger(window.get(), "actionPause"));
    ASSERT_TRUE(finished.wait(180000));
    EXPECT_EQ(window->lastBatch().converted(), 1);
    EXPECT_NEAR(probe(folder->file("out/long.wma"), QStringLiteral("duration")).toDouble(), 120.0, 0.1);
    EXPECT_TRUE(partFiles(folder->file("out")).isEmpty());
}

TEST_F(PausedRealBatch, WithLoudnessOnNoAnalysisStartsWhilePausedAndTheFileConvertsAfterResume)
{
    window->options().Loudness = 2;
    const QList<qint64> before = childProcesses();
    QStringList started;
    QObject::connect(window->batch(), &BatchDriver::fileStarted, [&](const QString& in, int) { started.append(in); });
    QSignalSpy finished(window.get(), &frmMain::batchFinished);
    // Paused before the batch's first step has run: its analysis must wait as a conversion would.
    ASSERT_TRUE(trigger(window.get(), "actionConvert"));
    ASSERT_TRUE(trigger(window.get(), "actionPause"));
    ASSERT_TRUE(window->batch()->isPaused());
    QTest::qWait(1500);
    for (qint64 pid : childProcesses())
        EXPECT_TRUE(before.contains(pid) || !toolGroupRunning(pid)) << "a tool started while paused: " << pid;
    EXPECT_NE(window->ui().lstFile->rowProgress(0), FileQueue::kAnalysing);
    EXPECT_TRUE(started.isEmpty());
    EXPECT_EQ(finished.count(), 0);

    ASSERT_TRUE(trigger(window.get(), "actionPause"));
    ASSERT_TRUE(finished.count() > 0 || finished.wait(180000));
    EXPECT_EQ(window->lastBatch().converted(), 1);
    EXPECT_EQ(started, QStringList{folder->file("long.wav")});
    EXPECT_FALSE(window->batch()->loudnessNote(folder->file("long.wav")).isEmpty()) << "it was measured";
    EXPECT_TRUE(partFiles(folder->file("out")).isEmpty());
}

TEST_F(PausedRealBatch, StopOrLeavingWhilePausedEndsTheToolAndItsPartFile)
{
    for (const bool leave : {false, true}) {
        SCOPED_TRACE(leave ? "leaving the program" : "Stop");
        if (leave) {
            window.reset();
            PausedBatch::SetUp();
            window->ui().lstFile->append(folder->file("long.wav"));
        }
        const qint64 tool = startAndPause();
        ASSERT_GT(tool, 0);
        ASSERT_EQ(partFiles(folder->file("out")).size(), 1);
        if (leave)
            ASSERT_TRUE(trigger(window.get(), "actionExit"));
        else
            ASSERT_TRUE(trigger(window.get(), "actionStop"));
        // The tool's own handler removed its part file: it was continued after its SIGTERM.
        EXPECT_TRUE(QTest::qWaitFor([&] { return processState(tool) == 0 || processState(tool) == 'Z'; }, 30000));
        EXPECT_TRUE(QTest::qWaitFor([&] { return partFiles(folder->file("out")).isEmpty(); }, 30000));
        EXPECT_FALSE(QFile::exists(folder->file("out/long.wma")));
        EXPECT_FALSE(window->batch()->isPaused());
    }
}

} // namespace
