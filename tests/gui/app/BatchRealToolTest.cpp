#include "TestSupport.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "ui/Sound.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QUrl>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

// The whole batch with the real FFmpeg as data/conv.exe, on audio generated here.
class RealBatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sound::setPlayer([](const QString&) {});
        window = std::make_unique<frmMain>(folder.path());
        window->txtPath->setText(folder.file("out"));
    }
    void TearDown() override
    {
        window.reset();
        Sound::setPlayer({});
    }
    bool runBatch()
    {
        QSignalSpy finished(window.get(), &frmMain::batchFinished);
        window->imgConvert_Click();
        return finished.wait(120000);
    }

    OpenedUrls opened;
    // The program's own formats never start FFmpeg's program: were it started, it would fail.
    ScopedEnv noFfmpeg{"VELTRA_FFMPEG", "/nonexistent/ffmpeg"};
    ProgramFolder folder{buildProgramFolder() + QStringLiteral("/data/conv.exe")};
    MsgBoxRecorder boxes;
    std::unique_ptr<frmMain> window;
};

TEST_F(RealBatch, ThreeInputsBecomeThreeOutputsWithTheChosenFormatRateAndChannels)
{
    for (const char* name : {"one.wav", "two.wav", "three.wav"}) {
        ASSERT_TRUE(makeTone(folder.file(name), 2));
        window->lstFile->append(folder.file(name));
    }
    window->cmbOF->setCurrentIndex(0);      // MP3
    window->cmbR->setCurrentIndex(4);       // 22050
    window->cmbChannel->setCurrentIndex(0); // Mono
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->lblPB->text(), QStringLiteral("Done."));
    EXPECT_EQ(window->lstFile->count(), 0);
    EXPECT_TRUE(boxes.shown().isEmpty());
    for (const char* name : {"one", "two", "three"}) {
        const QString out = folder.file(QStringLiteral("out/%1.mp3").arg(QLatin1String(name)));
        EXPECT_EQ(probe(out, QStringLiteral("codec_name")), QStringLiteral("mp3")) << name;
        EXPECT_EQ(probe(out, QStringLiteral("sample_rate")), QStringLiteral("22050")) << name;
        EXPECT_EQ(probe(out, QStringLiteral("channels")), QStringLiteral("1")) << name;
    }
}

TEST_F(RealBatch, TheCutterGivesOutputsOfTheCutLength)
{
    ASSERT_TRUE(makeTone(folder.file("long.wav"), 6));
    window->lstFile->append(folder.file("long.wav"));
    window->cmbOF->setCurrentIndex(3); // WAV: its length is exact
    window->options().MusicCutter = 1;
    window->options().CutFrom = 1;
    window->options().CutDuration = 2;
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->lblPB->text(), QStringLiteral("Done."));
    EXPECT_NEAR(probe(folder.file("out/long.wav"), QStringLiteral("duration")).toDouble(), 2.0, 0.05);
}

TEST_F(RealBatch, AmrChosenGivesAmrFilesAndDone)
{
    for (const char* name : {"voice.wav", "memo.wav"}) {
        ASSERT_TRUE(makeTone(folder.file(name), 2));
        window->lstFile->append(folder.file(name));
    }
    window->cmbOF->setCurrentIndex(7); // AMR
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->lblPB->text(), QStringLiteral("Done."));
    for (const char* name : {"voice", "memo"}) {
        const QString out = folder.file(QStringLiteral("out/%1.amr").arg(QLatin1String(name)));
        EXPECT_EQ(probe(out, QStringLiteral("codec_name")), QStringLiteral("amr_nb")) << name;
        EXPECT_NEAR(probe(out, QStringLiteral("duration")).toDouble(), 2.0, 0.05) << name;
    }
}

TEST_F(RealBatch, AnUnsupportedRateFailsAndTheFileComesBack)
{
    ASSERT_TRUE(makeTone(folder.file("odd.wav"), 1));
    window->lstFile->append(folder.file("odd.wav"));
    window->cmbOF->setCurrentIndex(0);
    window->cmbR->setCurrentIndex(6); // 12050 Hz, which MP3 cannot carry
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->lblPB->text(), QStringLiteral("1 failed."));
    EXPECT_EQ(window->lstFile->paths(), QList<QString>{folder.file("odd.wav")});
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_TRUE(boxes.shown()[0].details.contains(folder.file("odd.wav")));
    EXPECT_TRUE(boxes.shown()[0].details.contains("the encoder cannot take 12050 Hz"))
        << boxes.shown()[0].details.toStdString();
}

} // namespace
