// Outputs named from their inputs' tags and dated as their inputs, through the whole batch with the real
// tool: the window's settings and the terminal mode's options.
#include "TestSupport.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "ui/Sound.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

using namespace TestSupport;

namespace {

class TaggedOutputs : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sound::setPlayer([](const QString&) {});
        window = std::make_unique<frmMain>(folder.path());
        window->ui().txtPath->setText(folder.file("out"));
        window->options().FilesAtOnce = 1;
    }
    void TearDown() override
    {
        window.reset();
        Sound::setPlayer({});
    }
    bool runBatch()
    {
        QSignalSpy finished(window.get(), &frmMain::batchFinished);
        EXPECT_TRUE(trigger(window.get(), "actionConvert"));
        return finished.wait(120000);
    }
    // Every file below the output folder, relative to it, sorted.
    QStringList outputs() const
    {
        QStringList found;
        const QDir out(folder.file("out"));
        QDirIterator it(out.path(), QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            found.append(out.relativeFilePath(it.next()));
        found.sort();
        return found;
    }

    OpenedUrls opened;
    ScopedEnv noFfmpeg{"VELTRA_FFMPEG", "/nonexistent/ffmpeg"};
    ProgramFolder folder{buildProgramFolder() + QStringLiteral("/data/conv.exe")};
    MsgBoxRecorder boxes;
    std::unique_ptr<frmMain> window;
};

bool setModified(const QString& path, qint64 seconds)
{
    const struct utimbuf times{seconds, seconds};
    return ::utime(QFile::encodeName(path).constData(), &times) == 0;
}

TEST_F(TaggedOutputs, KeptDatesAreTheInputsToTheSecondAndOffTheyAreToday)
{
    constexpr qint64 kMillennium = 978307200; // 2001-01-01 00:00:00 UTC
    for (const char* name : {"old.wav", "older.wav"}) {
        ASSERT_TRUE(makeTone(folder.file(name), 1));
        ASSERT_TRUE(setModified(folder.file(name), kMillennium + 7));
    }
    window->options().KeepDate = 1;
    window->ui().lstFile->append(folder.file("old.wav"));
    ASSERT_TRUE(runBatch());
    ASSERT_EQ(window->lastBatch().converted(), 1);
    EXPECT_EQ(QFileInfo(folder.file("out/old.wma")).lastModified().toSecsSinceEpoch(), kMillennium + 7);

    window->options().KeepDate = 0;
    window->ui().lstFile->append(folder.file("older.wav"));
    ASSERT_TRUE(runBatch());
    ASSERT_EQ(window->lastBatch().converted(), 1);
    EXPECT_GT(QFileInfo(folder.file("out/older.wma")).lastModified().toSecsSinceEpoch(), kMillennium + 7);
    EXPECT_TRUE(outputs() == (QStringList{"old.wma", "older.wma"})) << outputs().join(' ').toStdString();
}

} // namespace
