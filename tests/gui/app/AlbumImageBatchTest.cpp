// Album images in the window: listed as their tracks wherever they come from, converted by the real
// tool into a folder of the image's name, the tracks joined the image sample for sample.
#include "AlbumImageFiles.h"
#include "GuiSupport.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "ui/Sound.h"

#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <gtest/gtest.h>

using namespace TestSupport;
using namespace AlbumImageFiles;

namespace {

class AlbumImageBatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Sound::setPlayer([](const QString&) {});
        window = std::make_unique<frmMain>(folder.path());
        window->ui().txtPath->setText(folder.file("out"));
        window->options().FilesAtOnce = 2;
        ASSERT_TRUE(QDir().mkpath(folder.file("lib/Rips")));
        ASSERT_TRUE(Make(folder.file("image.wav"), lib("image.flac")));
    }
    void TearDown() override
    {
        window.reset();
        Sound::setPlayer({});
    }
    QString lib(const char* name) const { return folder.file(QStringLiteral("lib/Rips/") + QLatin1String(name)); }
    bool runBatch()
    {
        QSignalSpy finished(window.get(), &frmMain::batchFinished);
        EXPECT_TRUE(trigger(window.get(), "actionConvert"));
        return finished.wait(180000);
    }
    QString cell(int row, int column) const
    {
        const FileQueue* q = window->ui().lstFile;
        return q->data(q->index(row, column)).toString();
    }
    QString tag(const QString& path, const char* name) const
    {
        const QJsonObject all = probeAll(path);
        QJsonObject tags = all.value(QStringLiteral("format")).toObject().value(QStringLiteral("tags")).toObject();
        for (auto it = tags.begin(); it != tags.end(); ++it) {
            if (it.key().compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
                return it.value().toString();
        }
        return {};
    }

    OpenedUrls opened;
    ScopedEnv noFfmpeg{"VELTRA_FFMPEG", "/nonexistent/ffmpeg"};
    ProgramFolder folder{buildProgramFolder() + QStringLiteral("/data/conv.exe")};
    MsgBoxRecorder boxes;
    std::unique_ptr<frmMain> window;
};

TEST_F(AlbumImageBatch,
       AFolderSearchListsTheImageAsItsTracksWhoseFlacOutputsJoinedAreTheImageAndASkipRunConvertsNothing)
{
    ASSERT_TRUE(Write(lib("image.cue"), "\xEF\xBB\xBF" + Sheet(QStringLiteral("C:\\Rips\\image.wav"))));
    ASSERT_TRUE(QFile::copy(folder.file("image.wav"), lib("single.wav")));
    // The image's own tags: some describe the whole image and must not reach a track.
    ASSERT_TRUE(Write(folder.file("embedded.cue"), Sheet(QStringLiteral("image.flac"))));
    int status = -1;
    RunProgram(QStringLiteral("metaflac"),
               {"--set-tag=TITLE=Whole Image", "--set-tag=COMPOSER=Someone", "--set-tag=REPLAYGAIN_TRACK_GAIN=-3.00 dB",
                "--set-tag=REPLAYGAIN_ALBUM_GAIN=-4.00 dB",
                "--set-tag-from-file=CUESHEET=" + folder.file("embedded.cue"), lib("image.flac")},
               &status);
    ASSERT_EQ(status, 0);
    window->AddPaths({folder.file("lib")});
    const FileQueue* q = window->ui().lstFile;
    ASSERT_EQ(q->count(), 4) << "the tracks and the other file; neither the image nor its sheet again";
    const QString image = lib("image.flac");
    EXPECT_EQ(q->paths(), (QList<QString>{image + "#1", image + "#2", image + "#3", lib("single.wav")}));
    EXPECT_EQ(cell(0, 0), image + QStringLiteral(" - 01 Low"));
    EXPECT_EQ(cell(1, 0), image + QStringLiteral(" - 02 AC_DC Cover"));
    EXPECT_EQ(cell(2, 0), image + QStringLiteral(" - 03 Track 03"));
    EXPECT_EQ(cell(1, 1), QStringLiteral("FLAC"));
    EXPECT_EQ(q->pathAt(2), image);

    window->ui().cmbOF->setCurrentIndex(4); // FLAC
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
    EXPECT_TRUE(boxes.shown().isEmpty());
    EXPECT_EQ(q->count(), 0);
    // Keep the folders: the added folder's tree, then a folder of the image's name.
    const QString album = folder.file("out/lib/Rips/image/");
    const QStringList tracks = {album + "01 Low.flac", album + "02 AC_DC Cover.flac", album + "03 Track 03.flac"};
    for (const QString& t : tracks)
        ASSERT_TRUE(QFile::exists(t)) << t.toStdString();
    EXPECT_TRUE(QFile::exists(folder.file("out/lib/Rips/single.flac")));
    const QByteArray joined = Decoded(tracks);
    EXPECT_EQ(joined.size(), kImageSamples * 4);
    EXPECT_EQ(Md5(joined), Md5(Decoded({folder.file("image.wav")})));

    // The sheet's tags, the album's performer where the track has none; nothing that describes the image.
    EXPECT_EQ(tag(tracks[1], "title"), QStringLiteral("AC/DC Cover"));
    EXPECT_EQ(tag(tracks[1], "artist"), QStringLiteral("Guest"));
    EXPECT_EQ(tag(tracks[2], "artist"), QStringLiteral("The Tones"));
    EXPECT_EQ(tag(tracks[1], "album"), QStringLiteral("Sine Album"));
    EXPECT_TRUE(tag(tracks[1], "track").startsWith(QStringLiteral("2"))) << tag(tracks[1], "track").toStdString();
    EXPECT_EQ(tag(tracks[0], "date"), QStringLiteral("2001"));
    // The image's own tags fill what the sheet leaves out; what describes the whole image goes.
    EXPECT_EQ(tag(tracks[0], "composer"), QStringLiteral("Someone"));
    EXPECT_EQ(tag(tracks[0], "REPLAYGAIN_ALBUM_GAIN"), QStringLiteral("-4.00 dB"));
    EXPECT_TRUE(tag(tracks[2], "title").isEmpty()) << tag(tracks[2], "title").toStdString();
    for (const QString& t : tracks) {
        EXPECT_TRUE(tag(t, "cuesheet").isEmpty());
        EXPECT_TRUE(tag(t, "REPLAYGAIN_TRACK_GAIN").isEmpty());
    }

    // The same folder again in skip mode: every output is there, nothing converts.
    window->options().IfExists = ExistingOutput::Skip;
    const QDateTime before = QFileInfo(tracks[1]).lastModified();
    window->AddPaths({folder.file("lib")});
    ASSERT_EQ(q->count(), 4);
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("4 files were already there and were skipped."));
    EXPECT_EQ(QDir(album).entryList(QDir::Files | QDir::Hidden).size(), 3);
    EXPECT_EQ(QFileInfo(tracks[1]).lastModified(), before);
}

TEST_F(AlbumImageBatch, AnImageWhoseSheetCannotBeUsedIsListedOnceWithTheReason)
{
    QByteArray bad = Sheet(QStringLiteral("image.flac"));
    bad.replace("INDEX 01 00:04:00", "INDEX 01 00:00:10");
    ASSERT_TRUE(Write(lib("image.cue"), bad));
    // Dropped together, the sheet and the image; then the sheet alone.
    window->AddPaths({lib("image.cue"), lib("image.flac")});
    ASSERT_EQ(window->ui().lstFile->count(), 1);
    EXPECT_EQ(window->ui().lstFile->at(0), lib("image.flac"));
    EXPECT_EQ(window->ui().lblPB->text(),
              QStringLiteral("image.flac is listed whole: track 02 starts before track 01."));
    window->ui().lstFile->clear();
    window->AddPaths({lib("image.cue")});
    ASSERT_EQ(window->ui().lstFile->count(), 1);
    EXPECT_EQ(window->ui().lstFile->at(0), lib("image.flac"));
    window->ui().lstFile->clear();
    window->AddPaths({folder.file("lib")});
    ASSERT_EQ(window->ui().lstFile->count(), 1);
    EXPECT_TRUE(window->ui().lblPB->text().contains(QStringLiteral("image.flac is listed whole")))
        << window->ui().lblPB->text().toStdString();
}

TEST_F(AlbumImageBatch, AFlacImageCarryingItsSheetIsCutAndTheCutterCutsEachTrackAsAFile)
{
    const QString cue = folder.file("sheet.cue");
    ASSERT_TRUE(Write(cue, Sheet(QStringLiteral("elsewhere.wav"))));
    int status = -1;
    RunProgram(QStringLiteral("metaflac"), {"--import-cuesheet-from=" + cue, lib("image.flac")}, &status);
    ASSERT_EQ(status, 0);
    window->AddPaths({lib("image.flac")});
    ASSERT_EQ(window->ui().lstFile->count(), 3);
    EXPECT_EQ(cell(1, 0), lib("image.flac") + QStringLiteral(" - 02 Track 02"));

    window->options().MusicCutter = 1;
    window->options().CutFrom = 1;
    window->options().CutDuration = 1;
    window->options().OutputFiles = OutputLayout::BesideOriginal;
    window->ui().cmbOF->setCurrentIndex(3); // WAV: its length is exact
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
    const QByteArray whole = Decoded({folder.file("image.wav")});
    const qint64 starts[] = {0, kTrack2, kTrack3};
    for (int n = 1; n <= 3; ++n) {
        const QString out = lib("image/") + QStringLiteral("0%1 Track 0%1.wav").arg(n);
        const QByteArray cut = Decoded({out});
        EXPECT_EQ(cut.size(), 44100 * 4) << n;
        EXPECT_TRUE(cut == whole.mid((starts[n - 1] + 44100) * 4, 44100 * 4)) << "second 1 to 2 of track " << n;
    }
}

TEST_F(AlbumImageBatch, TracksNamedByAPatternTakeTheirSheetsTagsOverTheImagesAndASkipRunFindsThem)
{
    ASSERT_TRUE(Write(lib("image.cue"), Sheet(QStringLiteral("image.flac"))));
    int status = -1;
    // The image's own title names the whole image: no track may take it, titled or not.
    RunProgram(QStringLiteral("metaflac"), {"--set-tag=TITLE=Whole Image", "--set-tag=GENRE=Noise", lib("image.flac")},
               &status);
    ASSERT_EQ(status, 0);
    window->options().OutputNames = 3;
    window->options().NamePattern = QStringLiteral("{albumartist}/{album} ({year}, {genre})/{track} {title} [{name}]");
    window->AddPaths({lib("image.cue")});
    ASSERT_EQ(window->ui().lstFile->count(), 3);
    window->ui().cmbOF->setCurrentIndex(4); // FLAC
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->ui().lblPB->text(), QStringLiteral("Done."));
    EXPECT_TRUE(boxes.shown().isEmpty());
    // The pattern's folders stand instead of the kept tree and the folder of the image's name.
    const QString album = folder.file("out/The Tones/Sine Album (2001, Ambient)/");
    const QStringList names = QDir(album).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    ASSERT_EQ(names.size(), 3) << names.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(names[0], QStringLiteral("01 Low [01 Low].flac"));
    EXPECT_TRUE(names[1].startsWith(QStringLiteral("02 AC"))) << names[1].toStdString();
    EXPECT_EQ(names[2], QStringLiteral("03 Track 03 [03 Track 03].flac"));
    EXPECT_FALSE(QDir(folder.file("out/lib")).exists());
    const QByteArray joined = Decoded({album + names[0], album + names[1], album + names[2]});
    EXPECT_EQ(Md5(joined), Md5(Decoded({folder.file("image.wav")})));

    // Skip mode by the same pattern: each track's own output is found after its probe.
    window->options().IfExists = ExistingOutput::Skip;
    window->AddPaths({lib("image.cue")});
    ASSERT_EQ(window->ui().lstFile->count(), 3);
    ASSERT_TRUE(runBatch());
    EXPECT_EQ(window->lastBatch().skipped(), 3);
    EXPECT_EQ(window->lastBatch().converted(), 0);
    EXPECT_EQ(QDir(album).entryList(QDir::Files | QDir::Hidden).size(), 3);
}

} // namespace
