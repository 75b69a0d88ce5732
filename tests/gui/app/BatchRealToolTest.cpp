#include "TestSupport.h"
#include "app/ProgramStart.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "filelist/PathBytes.h"
#include "ui/Sound.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QUrl>
#include <algorithm>
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

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
        window->ui().txtPath->setText(folder.file("out"));
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
        window->ui().lstFile->append(folder.file(name));
    }
    window->ui().cmbOF->setCurrentIndex(0);      // MP3
    window->ui().cmbR->setCurrentIndex(4);       // 22050
    window->ui().cmbChannel->setCurrentIndex(0); // Mono
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
    EXPECT_EQ(window->ui().lstFile->count(), 0);
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
    window->ui().lstFile->append(folder.file("long.wav"));
    window->ui().cmbOF->setCurrentIndex(3); // WAV: its length is exact
    window->options().MusicCutter = 1;
    window->options().CutFrom = 1;
    window->options().CutDuration = 2;
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
    EXPECT_NEAR(probe(folder.file("out/long.wav"), QStringLiteral("duration")).toDouble(), 2.0, 0.05);
}

TEST_F(RealBatch, AmrChosenGivesAmrFilesAndDone)
{
    for (const char* name : {"voice.wav", "memo.wav"}) {
        ASSERT_TRUE(makeTone(folder.file(name), 2));
        window->ui().lstFile->append(folder.file(name));
    }
    window->ui().cmbOF->setCurrentIndex(7); // AMR
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
    for (const char* name : {"voice", "memo"}) {
        const QString out = folder.file(QStringLiteral("out/%1.amr").arg(QLatin1String(name)));
        EXPECT_EQ(probe(out, QStringLiteral("codec_name")), QStringLiteral("amr_nb")) << name;
        EXPECT_NEAR(probe(out, QStringLiteral("duration")).toDouble(), 2.0, 0.05) << name;
    }
}

TEST_F(RealBatch, ARateMp3CannotCarryConvertsAtTheNearestOneAndCounts)
{
    ASSERT_TRUE(makeTone(folder.file("odd.wav"), 1));
    window->ui().lstFile->append(folder.file("odd.wav"));
    window->ui().cmbOF->setCurrentIndex(0);
    window->ui().cmbR->setCurrentIndex(6); // 12050 Hz, which MP3 cannot carry
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
    EXPECT_EQ(window->ui().lstFile->count(), 0);
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(probe(folder.file("out/odd.mp3"), QStringLiteral("sample_rate")), QStringLiteral("12000"));
}

// The length of the audio at a path given as bytes; ffprobe is reached through a plain name.
double durationOf(const QByteArray& path, const QString& plainName)
{
    ::unlink(plainName.toUtf8().constData());
    if (::link(path.constData(), plainName.toUtf8().constData()) != 0)
        return -1;
    const double seconds = probe(plainName, QStringLiteral("duration")).toDouble();
    ::unlink(plainName.toUtf8().constData());
    return seconds;
}

QList<QByteArray> namesIn(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(folder.constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.')
                names.append(entry->d_name);
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(RealBatch, ANameThatIsNotTextAndItsLookAlikeBecomeTwoRightOutputs)
{
    const QByteArray in = folder.file("in").toUtf8();
    ASSERT_EQ(::mkdir(in.constData(), 0700), 0);
    // Lengths tell the outputs apart: each must come from its own input.
    const QByteArray bad = "bad\xff";
    const QByteArray lookAlike = "bad\xef\xbf\xbd";
    ASSERT_TRUE(makeTone(folder.file("one.wav"), 1));
    ASSERT_TRUE(makeTone(folder.file("two.wav"), 2));
    ASSERT_EQ(::rename(folder.file("one.wav").toUtf8().constData(), in + "/" + bad + ".wav"), 0);
    ASSERT_EQ(::rename(folder.file("two.wav").toUtf8().constData(), in + "/" + lookAlike + ".wav"), 0);
    window->options().OutputFiles = 1;      // all in one folder: the scan's folder is not copied
    window->ui().cmbOF->setCurrentIndex(3); // WAV: its length is exact

    const QStringList byCommandLine = ProgramStart::PathsFrom(
        {PathBytes::Decode(bad + ".wav"), PathBytes::Decode(lookAlike + ".wav")}, PathBytes::Decode(in));
    const struct
    {
        const char* way;
        QStringList added;
    } ways[] = {{"scan", {PathBytes::Decode(in)}}, {"command line", byCommandLine}};
    for (const auto& w : ways) {
        const QByteArray out = folder.file(QStringLiteral("out-%1").arg(QLatin1String(w.way))).toUtf8();
        window->ui().txtPath->setText(PathBytes::Decode(out));
        window->AddPaths(w.added);
        ASSERT_EQ(window->ui().lstFile->count(), 2) << w.way;
        ASSERT_TRUE(runBatch()) << w.way;
        EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done.")) << w.way;
        EXPECT_EQ(window->ui().lstFile->count(), 0) << w.way;
        EXPECT_TRUE(boxes.shown().isEmpty()) << w.way;
        EXPECT_EQ(namesIn(out), (QList<QByteArray>{lookAlike + ".wav", bad + ".wav"})) << w.way;
        EXPECT_NEAR(durationOf(out + "/" + bad + ".wav", folder.file("probe.wav")), 1.0, 0.05) << w.way;
        EXPECT_NEAR(durationOf(out + "/" + lookAlike + ".wav", folder.file("probe.wav")), 2.0, 0.05) << w.way;
    }
}

} // namespace
