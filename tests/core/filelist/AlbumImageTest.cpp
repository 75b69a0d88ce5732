// Album images with cue sheets: the sheet read in any encoding, checked, and each track converted by
// the real tool from its sample range, the tracks together the image sample for sample.
#include "RangeReader.h"
#include "TestSupport.h"
#include "filelist/CueSheet.h"
#include "filelist/CueText.h"
#include "filelist/FlacImage.h"
#include "filelist/ImageLength.h"
#include "filelist/TrackName.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <cstdio>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// Three tones whose lengths are no whole number of CD frames (588 samples at 44.1 kHz).
constexpr qint64 kToneSamples[] = {145530, 119511, 181824};
constexpr qint64 kImageSamples = kToneSamples[0] + kToneSamples[1] + kToneSamples[2];
// Where the sheet below puts each track's INDEX 01: 00:04:00 and 00:08:00 are 300 and 600 frames.
constexpr qint64 kTrack2 = 300 * 588;
constexpr qint64 kTrack3 = 600 * 588;

// Audio before track 1's INDEX 01, and a pregap (INDEX 00) before track 3.
const char* const kSheet = "REM GENRE Ambient\n"
                           "REM DATE 2001\n"
                           "REM DISCNUMBER 1\n"
                           "REM TOTALDISCS 2\n"
                           "REM REPLAYGAIN_ALBUM_GAIN -7.00 dB\n"
                           "PERFORMER \"The Tones\"\n"
                           "TITLE \"Sine Album\"\n"
                           "FILE \"%1\" WAVE\n"
                           "  TRACK 01 AUDIO\n"
                           "    TITLE \"%2\"\n"
                           "    REM REPLAYGAIN_TRACK_GAIN -6.00 dB\n"
                           "    INDEX 00 00:00:00\n"
                           "    INDEX 01 00:00:20\n"
                           "  TRACK 02 AUDIO\n"
                           "    TITLE \"AC/DC Cover\"\n"
                           "    PERFORMER \"Guest\"\n"
                           "    INDEX 01 00:04:00\n"
                           "  TRACK 03 AUDIO\n"
                           "    INDEX 00 00:07:00\n"
                           "    INDEX 01 00:08:00\n";

QByteArray sheet(const QString& file, const QString& firstTitle = QStringLiteral("Low"))
{
    return QString::fromLatin1(kSheet).arg(file, firstTitle).toUtf8();
}

QByteArray runProgram(const QString& program, const QStringList& args, int* status = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(program, args);
    const bool ended = p.waitForFinished(240000) && p.exitStatus() == QProcess::NormalExit;
    if (status)
        *status = ended ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

// The decoded samples of files one after another, as 16-bit PCM.
QByteArray decoded(const QStringList& files)
{
    QByteArray all;
    for (const QString& f : files)
        all += runProgram(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", f, "-f", "s16le", "-"});
    return all;
}

QByteArray md5(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QString tool()
{
    return buildProgramFolder() + QStringLiteral("/data/conv.exe");
}

QString rangeOf(const CueTrack& t)
{
    return QStringLiteral("%1-%2").arg(t.start).arg(t.end < 0 ? QString() : QString::number(t.end));
}

class AlbumImage : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        QStringList args = {"-nostdin", "-v", "error"};
        QString chain;
        for (int i = 0; i < 3; ++i) {
            args << "-f"
                 << "lavfi"
                 << "-i"
                 << QStringLiteral("sine=frequency=%1:sample_rate=44100:duration=%2s")
                        .arg(330 * (i + 1))
                        .arg(double(kToneSamples[i]) / 44100, 0, 'f', 9);
            chain += QStringLiteral("[%1]").arg(i);
        }
        args << "-filter_complex" << chain + QStringLiteral("concat=n=3:v=0:a=1,aformat=s16:44100:stereo") << "-c:a"
             << "pcm_s16le" << image("image.wav");
        int status = -1;
        runProgram(QStringLiteral("ffmpeg"), args, &status);
        ASSERT_EQ(status, 0);
        runProgram(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", image("image.wav"), image("image.flac")},
                   &status);
        ASSERT_EQ(status, 0);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString image(const char* name) { return s_dir->filePath(QString::fromLatin1(name)); }

    // A folder of its own holding the FLAC image and the sheet's bytes as "image.cue".
    CueSheet sheetBesideFlac(const QByteArray& bytes)
    {
        QFile::copy(image("image.flac"), folder.filePath(QStringLiteral("image.flac")));
        const QString cue = folder.filePath(QStringLiteral("image.cue"));
        EXPECT_TRUE(write(cue, bytes));
        return CueSheet::FromFile(cue, ImageLength::Read);
    }

    static QTemporaryDir* s_dir;
    QTemporaryDir folder;
};
QTemporaryDir* AlbumImage::s_dir = nullptr;

TEST_F(AlbumImage, TracksRunFromIndex01ToTheNextAndTheirLosslessOutputsJoinedAreTheImage)
{
    const CueSheet album = sheetBesideFlac("\xEF\xBB\xBF" + sheet(QStringLiteral("image.flac")));
    ASSERT_TRUE(album.usable()) << album.reason().toStdString();
    EXPECT_TRUE(album.encoding().isEmpty());
    ASSERT_EQ(album.tracks().size(), 3);
    const QList<CueTrack>& t = album.tracks();
    // The 20 frames before track 1's INDEX 01 start track 1; the pregap ends track 2.
    EXPECT_EQ(t[0].start, 0);
    EXPECT_EQ(t[0].end, kTrack2);
    EXPECT_EQ(t[1].start, kTrack2);
    EXPECT_EQ(t[1].end, kTrack3);
    EXPECT_EQ(t[2].start, kTrack3);
    EXPECT_EQ(t[2].end, -1);
    EXPECT_EQ(album.audioFiles(), QStringList{folder.filePath(QStringLiteral("image.flac"))});

    const QList<QPair<QString, QString>> second = t[1].tags.Pairs();
    const QList<QPair<QString, QString>> expected = {
        {"title", "AC/DC Cover"}, {"artist", "Guest"},  {"album", "Sine Album"}, {"album_artist", "The Tones"},
        {"date", "2001"},         {"genre", "Ambient"}, {"track", "2/3"},        {"disc", "1/2"}};
    EXPECT_EQ(second, expected);
    EXPECT_EQ(t[2].tags.performer, QStringLiteral("The Tones")) << "the album's performer where the track has none";
    for (const CueTrack& track : t) {
        for (const auto& pair : track.tags.Pairs())
            EXPECT_FALSE(pair.first.contains(QStringLiteral("replaygain"), Qt::CaseInsensitive));
    }
    EXPECT_EQ(TrackName::Stem(t[0]), QStringLiteral("01 Low"));
    EXPECT_EQ(TrackName::Stem(t[1]), QStringLiteral("02 AC_DC Cover"));
    EXPECT_EQ(TrackName::Stem(t[2]), QStringLiteral("03 Track 03"));
    EXPECT_EQ(TrackName::Folder(t[0].audioPath), QStringLiteral("image"));

    // Each track through the real tool, into FLAC from the FLAC image and from the WAV one.
    for (const char* source : {"image.flac", "image.wav"}) {
        QStringList outputs;
        for (const CueTrack& track : t) {
            const QString out = folder.filePath(QStringLiteral("%1 %2.flac").arg(source).arg(track.number));
            int status = -1;
            runProgram(tool(), {"-i", image(source), "-range", rangeOf(track), "-y", out}, &status);
            ASSERT_EQ(status, 0) << source;
            outputs << out;
        }
        const QByteArray joined = decoded(outputs);
        EXPECT_EQ(joined.size(), kImageSamples * 4) << source;
        EXPECT_EQ(md5(joined), md5(decoded({image("image.wav")}))) << source;
    }

    // Into MP3 each track plays its range's length, within one MP3 frame.
    for (const CueTrack& track : t) {
        const QString out = folder.filePath(QStringLiteral("%1.mp3").arg(track.number));
        int status = -1;
        runProgram(tool(), {"-i", image("image.flac"), "-range", rangeOf(track), "-ab", "192k", out}, &status);
        ASSERT_EQ(status, 0);
        const qint64 length = (track.end < 0 ? kImageSamples : track.end) - track.start;
        EXPECT_NEAR(double(decoded({out}).size() / 4), double(length), 1152.0);
    }
}

TEST_F(AlbumImage, SheetsInUtf16AndWindows1252AreReadAndTheEncodingIsSaid)
{
    const QString title = QStringLiteral("Caf\u00e9 \u266a");
    for (const auto encoding : {QStringConverter::Utf16LE, QStringConverter::Utf16BE}) {
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        const QByteArray bytes = encoder(QString::fromUtf8(sheet(QStringLiteral("image.flac"), title)));
        const CueSheet album = sheetBesideFlac(bytes);
        ASSERT_TRUE(album.usable()) << album.reason().toStdString();
        EXPECT_EQ(album.tracks()[0].tags.title, title);
        EXPECT_EQ(album.encoding(), encoding == QStringConverter::Utf16LE ? "UTF-16LE" : "UTF-16BE");
    }
    // "Café" in Windows-1252: not UTF-8, so the locale's 8-bit set or Windows-1252 reads it.
    QByteArray latin = sheet(QStringLiteral("image.flac"), QStringLiteral("Cafe"));
    latin.replace("\"Cafe\"", "\"Caf\xE9\"");
    const CueSheet album = sheetBesideFlac(latin);
    ASSERT_TRUE(album.usable()) << album.reason().toStdString();
    EXPECT_EQ(album.tracks()[0].tags.title, QStringLiteral("Caf\u00e9"));
    EXPECT_FALSE(album.encoding().isEmpty());
    EXPECT_EQ(CueText::FromWindows1252("\x80\x93\xE9\x81"), QStringLiteral("\u20ac\u201c\u00e9\u0081"));
    EXPECT_TRUE(CueText::Decode(sheet(QStringLiteral("x.flac"), title)).encoding.isEmpty());
}

TEST_F(AlbumImage, AFileThatIsNotThereFindsTheImageOfItsBaseName)
{
    const QString flac = folder.filePath(QStringLiteral("image.flac"));
    for (const char* written : {"image.wav", "C:\\Rips\\image.wav", "C:\\Rips\\image.flac", "IMAGE.WAV"}) {
        const CueSheet album = sheetBesideFlac(sheet(QString::fromLatin1(written)));
        ASSERT_TRUE(album.usable()) << written << ": " << album.reason().toStdString();
        EXPECT_EQ(album.tracks()[0].audioPath, flac) << written;
    }
    const CueSheet missing = sheetBesideFlac(sheet(QStringLiteral("other.wav")));
    EXPECT_FALSE(missing.usable());
    EXPECT_EQ(missing.reason(), QStringLiteral("the audio file \"other.wav\" of track 01 is not there"));

    // One FILE per track: the sheet tags those files and cuts nothing.
    QFile::copy(image("image.wav"), folder.filePath(QStringLiteral("a.wav")));
    QFile::copy(image("image.wav"), folder.filePath(QStringLiteral("b.wav")));
    const QByteArray perTrack = "FILE \"a.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"A\"\n    INDEX 01 00:00:00\n"
                                "FILE \"b.wav\" WAVE\n  TRACK 02 AUDIO\n    TITLE \"B\"\n    INDEX 00 00:00:00\n"
                                "    INDEX 01 00:01:00\n";
    const CueSheet tagged = CueSheet::FromText(perTrack, folder.path(), ImageLength::Read);
    ASSERT_TRUE(tagged.usable()) << tagged.reason().toStdString();
    ASSERT_EQ(tagged.tracks().size(), 2);
    for (const CueTrack& t : tagged.tracks()) {
        EXPECT_TRUE(t.wholeFile);
        EXPECT_EQ(t.start, 0);
        EXPECT_EQ(t.end, -1);
    }
    EXPECT_EQ(tagged.tracks()[1].tags.title, QStringLiteral("B"));
    EXPECT_EQ(tagged.tracks()[1].audioPath, folder.filePath(QStringLiteral("b.wav")));
}

TEST_F(AlbumImage, ASheetThatCannotPlaceItsTracksLeavesTheImageWholeWithTheReason)
{
    struct Bad
    {
        QByteArray from;
        QByteArray to;
        const char* reason;
    };
    const QByteArray good = sheet(QStringLiteral("image.flac"));
    const Bad cases[] = {
        {"INDEX 01 00:04:00", "INDEX 01 00:00:10", "track 02 starts before track 01"},
        {"INDEX 00 00:07:00", "INDEX 00 00:09:00", "track 03's indexes are out of order"},
        {"INDEX 01 00:08:00", "INDEX 01 20:00:00", "track 03 starts after the end of \"image.flac\""},
        {"FILE \"image.flac\" WAVE\n", "", "the cue sheet cannot be read: no file specified for track"},
        {"    INDEX 01 00:04:00\n", "", "track 02 has no INDEX 01"},
        {"  TRACK 02 AUDIO", "  TRACK 02 AUDIO\n  BOGUS LINE", nullptr},
    };
    // The parser's complaints stay off standard error: they are the reason.
    QTemporaryDir errDir;
    const QString errPath = errDir.filePath(QStringLiteral("stderr"));
    const int saved = ::dup(STDERR_FILENO);
    const int err = ::open(QFile::encodeName(errPath).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(err, 0);
    ::dup2(err, STDERR_FILENO);
    QList<CueSheet> read;
    for (const Bad& bad : cases) {
        QByteArray text = good;
        text.replace(bad.from, bad.to);
        read.append(sheetBesideFlac(text));
    }
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    ::close(err);
    EXPECT_EQ(QFileInfo(errPath).size(), 0);
    for (qsizetype i = 0; i < read.size(); ++i) {
        EXPECT_FALSE(read[i].usable()) << i;
        EXPECT_TRUE(read[i].tracks().isEmpty());
        if (cases[i].reason)
            EXPECT_EQ(read[i].reason(), QString::fromLatin1(cases[i].reason));
        else
            EXPECT_TRUE(read[i].reason().startsWith(QStringLiteral("the cue sheet cannot be read: ")))
                << read[i].reason().toStdString();
    }
}

TEST_F(AlbumImage, AFlacImageCarriesItsSheetAsATagOrAsItsOwnBlock)
{
    const QString cue = folder.filePath(QStringLiteral("sheet.cue"));
    ASSERT_TRUE(write(cue, sheet(QStringLiteral("Somewhere Else.wav"))));
    const auto withMetaflac = [&](const char* name, const QStringList& options) {
        const QString path = folder.filePath(QString::fromLatin1(name));
        QFile::copy(image("image.flac"), path);
        int status = -1;
        runProgram(QStringLiteral("metaflac"), options + QStringList{path}, &status);
        EXPECT_EQ(status, 0) << name;
        return path;
    };
    const QString tagged = withMetaflac("tagged.flac", {"--set-tag-from-file=CUESHEET=" + cue});
    const QString block = withMetaflac("block.flac", {"--import-cuesheet-from=" + cue});
    const QString both =
        withMetaflac("both.flac", {"--import-cuesheet-from=" + cue, "--set-tag-from-file=CUESHEET=" + cue});
    QFile::copy(image("image.flac"), folder.filePath(QStringLiteral("plain.flac")));
    EXPECT_FALSE(FlacImage::EmbeddedSheet(folder.filePath(QStringLiteral("plain.flac"))));

    for (const QString& path : {tagged, block, both}) {
        const std::optional<CueSheet> album = FlacImage::EmbeddedSheet(path);
        ASSERT_TRUE(album && album->usable()) << path.toStdString();
        ASSERT_EQ(album->tracks().size(), 3);
        const QList<CueTrack>& t = album->tracks();
        EXPECT_EQ(t[0].start, 0);
        EXPECT_EQ(t[1].start, kTrack2) << "INDEX 01, not the pregap's INDEX 00";
        EXPECT_EQ(t[2].start, kTrack3);
        EXPECT_EQ(t[2].end, -1);
        for (const CueTrack& track : t)
            EXPECT_EQ(track.audioPath, path) << "the FILE line of an embedded sheet is not looked for";
        if (path == block) {
            EXPECT_EQ(TrackName::Stem(t[1]), QStringLiteral("02 Track 02"));
        } else {
            EXPECT_EQ(TrackName::Stem(t[1]), QStringLiteral("02 AC_DC Cover"));
            EXPECT_EQ(t[0].tags.album, QStringLiteral("Sine Album"));
        }
    }
}

TEST(TrackName, LongTitlesAreCutToANameAnyFolderTakes)
{
    CueTrack t;
    t.number = 7;
    t.tags.title = QString(150, QChar(0x00e9)) + QStringLiteral("\ttail\x01");
    const QString stem = TrackName::Stem(t);
    EXPECT_TRUE(stem.startsWith(QStringLiteral("07 \u00e9")));
    EXPECT_LE(stem.toUtf8().size(), 200);
    EXPECT_EQ(QString::fromUtf8(stem.toUtf8()), stem);
    t.number = 112;
    t.tags.title = QStringLiteral("  Ünder/Over\u0007 ");
    EXPECT_EQ(TrackName::Stem(t), QStringLiteral("112 Ünder_Over_"));
}

TEST(SampleRange, RangesReadInSamplesOrSecondsAndCdFramesAsSecondsAreExactAtEveryRate)
{
    for (const int rate : {44100, 48000, 88200, 96000, 176400, 192000}) {
        for (const long long frames : {0LL, 1LL, 37LL, 74LL, 75LL, 299999LL, 449999LL}) {
            // As six decimals carry a CD frame: 1/75 s = 0.013333 s.
            const long long micros = (frames * 1000000 * 2 + 75) / 150;
            char seconds[40];
            std::snprintf(seconds, sizeof seconds, "%lld.%06lld-", micros / 1000000, micros % 1000000);
            const auto w = SampleRange::Parse(seconds, rate);
            ASSERT_TRUE(w) << seconds;
            EXPECT_EQ(w->start, frames * rate / 75) << seconds << " at " << rate;
            EXPECT_EQ(w->end, -1);
        }
    }
    const auto samples = SampleRange::Parse("132300-264600", 44100);
    ASSERT_TRUE(samples);
    EXPECT_EQ(samples->start, 132300);
    EXPECT_EQ(samples->end, 264600);
    for (const char* bad : {"", "-", "-5", "5-3", "5-5", "a-b", "1e3-", "3.-", "1.5.2-", "+5-", "5", " 5-9"})
        EXPECT_FALSE(SampleRange::Parse(bad, 44100)) << bad;

    // The cutter inside a track: its start from the track's, its end never past the track's.
    const SampleRange::Window track{100000, 200000};
    const SampleRange::Window cut = SampleRange::Cut(track, 10000, 20000, 44100);
    EXPECT_EQ(cut.start, 100441);
    EXPECT_EQ(cut.end, 100441 + 882);
    EXPECT_EQ(SampleRange::Cut(track, 10000, 60000000, 44100).end, 200000);
    EXPECT_EQ(SampleRange::Cut(track, 0, -1, 44100).end, 200000);
    const SampleRange::Window past = SampleRange::Cut(track, 5000000, 1000000, 44100);
    EXPECT_LE(past.end, past.start);
}

// The decoded samples of a window of an input, by the reader: each plane of the decoder's format whole,
// and the bytes one sample takes in a plane.
struct Planes
{
    QList<QByteArray> planes;
    qsizetype stride = 0;
};

Planes readWindow(const QString& path, SampleRange::Window window, bool* seeked)
{
    AudioInput input(path.toStdString());
    RangeReader reader(input, window);
    LibAv::FramePtr frame(av_frame_alloc());
    Planes out;
    int from = 0;
    int count = 0;
    while (reader.Next(frame.get(), from, count)) {
        const auto format = AVSampleFormat(frame->format);
        const int channels = frame->ch_layout.nb_channels;
        const bool planar = av_sample_fmt_is_planar(format);
        out.stride = qsizetype(av_get_bytes_per_sample(format)) * (planar ? 1 : channels);
        out.planes.resize(planar ? channels : 1);
        for (qsizetype p = 0; p < out.planes.size(); ++p)
            out.planes[p].append(reinterpret_cast<const char*>(frame->extended_data[p]) + from * out.stride,
                                 count * out.stride);
        av_frame_unref(frame.get());
    }
    if (seeked)
        *seeked = reader.seeked();
    return out;
}

TEST_F(AlbumImage, Mp3CbrVbrAndFlacImagesSeekToTheSamplesAFullDecodeGives)
{
    const QString cbr = folder.filePath(QStringLiteral("cbr.mp3"));
    const QString vbr = folder.filePath(QStringLiteral("vbr.mp3"));
    int status = -1;
    runProgram(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", image("image.wav"), "-b:a", "192k", cbr},
               &status);
    ASSERT_EQ(status, 0);
    runProgram(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", image("image.wav"), "-q:a", "4", vbr},
               &status);
    ASSERT_EQ(status, 0);
    for (const QString& path : {cbr, vbr, image("image.flac")}) {
        const Planes whole = readWindow(path, {0, -1}, nullptr);
        ASSERT_FALSE(whole.planes.isEmpty());
        ASSERT_EQ(whole.planes[0].size(), kImageSamples * whole.stride) << path.toStdString();
        for (const SampleRange::Window w : {SampleRange::Window{kTrack3, -1}, SampleRange::Window{kTrack2, kTrack3},
                                            SampleRange::Window{1000, 2000}}) {
            bool seeked = false;
            const Planes part = readWindow(path, w, &seeked);
            const qint64 end = w.end < 0 ? kImageSamples : w.end;
            // Far enough in, the reader jumps; near the start it reads on.
            EXPECT_EQ(seeked, w.start > 20000) << path.toStdString() << " " << w.start;
            ASSERT_EQ(part.planes.size(), whole.planes.size());
            for (qsizetype p = 0; p < part.planes.size(); ++p)
                EXPECT_TRUE(part.planes[p] ==
                            whole.planes[p].mid(w.start * whole.stride, (end - w.start) * whole.stride))
                    << path.toStdString() << " from " << w.start << ", plane " << p;
        }
    }
}

} // namespace
