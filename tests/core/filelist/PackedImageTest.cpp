// Album images in WavPack and Monkey's Audio: their length read from the header, their cue sheet from
// an APE tag, and hostile headers and tags read without harm.
#include "AlbumImageFiles.h"
#include "TestSupport.h"
#include "filelist/AlbumListing.h"
#include "filelist/ApeTag.h"
#include "filelist/FileBytes.h"
#include "filelist/ImageLength.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtEndian>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace TestSupport;

namespace {

using namespace AlbumImageFiles;

QByteArray le16(quint16 v)
{
    QByteArray b(2, '\0');
    qToLittleEndian(v, b.data());
    return b;
}
QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    qToLittleEndian(v, b.data());
    return b;
}

std::optional<AudioLength> lengthOf(const QByteArray& bytes)
{
    return ImageLength::FromHeader(FileBytes(QByteArrayView(bytes)));
}

std::optional<QByteArray> cueItem(const QByteArray& bytes, qint64 limit = 1 << 20)
{
    return ApeTag::TextItem(FileBytes(QByteArrayView(bytes)), "Cuesheet", limit);
}

// A Monkey's Audio header as its encoder writes it: from 3.98 a descriptor and a header, before that
// the older header alone. No audio follows; only the length is read.
QByteArray monkeysHeader(quint16 version, quint32 perFrame, quint32 finalBlocks, quint32 frames, quint32 rate,
                         quint16 compression = 2000)
{
    if (version < 3980)
        return "MAC " + le16(version) + le16(compression) + le16(0) + le16(2) + le32(rate) + le32(44) + le32(0) +
               le32(frames) + le32(finalBlocks);
    const QByteArray descriptor = "MAC " + le16(version) + le16(0) + le32(52) + le32(24) + le32(frames * 4) + le32(44) +
                                  le32(1000) + le32(0) + le32(0) + QByteArray(16, '\x5A');
    return descriptor + le16(compression) + le16(0) + le32(perFrame) + le32(finalBlocks) + le32(frames) + le16(16) +
           le16(2) + le32(rate);
}

struct Item
{
    QByteArray key;
    QByteArray value;
    quint32 flags = 0;
};

// An APE tag of these items, ending in its footer.
QByteArray apeTag(const QList<Item>& items, quint32 version = 2000)
{
    QByteArray body;
    for (const Item& i : items)
        body += le32(quint32(i.value.size())) + le32(i.flags) + i.key + '\0' + i.value;
    return body + "APETAGEX" + le32(version) + le32(quint32(body.size() + 32)) + le32(quint32(items.size())) + le32(0) +
           QByteArray(8, '\0');
}

class PackedImage : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        ASSERT_TRUE(Make(made("image.wav")));
        int status = -1;
        RunProgram(QStringLiteral("wavpack"), {"-q", "-y", made("image.wav"), "-o", made("image.wv")}, &status);
        ASSERT_EQ(status, 0);
        // A rate outside WavPack's table, which the block carries in a metadata item of its own.
        RunProgram(QStringLiteral("ffmpeg"),
                   {"-nostdin", "-v", "error", "-f", "lavfi", "-i", "sine=duration=1:sample_rate=37800", "-ac", "2",
                    "-c:a", "pcm_s16le", made("odd.wav")},
                   &status);
        ASSERT_EQ(status, 0);
        RunProgram(QStringLiteral("wavpack"), {"-q", "-y", made("odd.wav"), "-o", made("odd.wv")}, &status);
        ASSERT_EQ(status, 0);
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    static QString made(const char* name) { return s_dir->filePath(QString::fromLatin1(name)); }
    static QByteArray bytesOf(const char* name)
    {
        QFile f(made(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString copy(const char* name, const char* as)
    {
        const QString path = folder.filePath(QString::fromLatin1(as));
        QFile::copy(made(name), path);
        return path;
    }

    static QTemporaryDir* s_dir;
    QTemporaryDir folder;
};
QTemporaryDir* PackedImage::s_dir = nullptr;

TEST_F(PackedImage, WavPackAndMonkeysAudioHeadersGiveTheRateAndSamples)
{
    const auto expect = [](const std::optional<AudioLength>& got, int rate, qint64 samples, const char* what) {
        ASSERT_TRUE(got) << what;
        EXPECT_EQ(got->rate, rate) << what;
        EXPECT_EQ(got->samples, samples) << what;
    };
    expect(ImageLength::Read(made("image.wv")), 44100, kImageSamples, "WavPack");
    expect(ImageLength::Read(made("odd.wv")), 37800, 37800, "WavPack at a rate of its own");
    // An ID3v2 tag before the header, its size in 7-bit bytes (0x0101 is 129 bytes), with a footer.
    const QByteArray id3 = QByteArray("ID3\x04\x00\x10\x00\x00\x01\x01", 10) + QByteArray(129 + 10, '\0');
    expect(lengthOf(id3 + bytesOf("image.wv")), 44100, kImageSamples, "WavPack after ID3v2");

    constexpr qint64 kFrame = 73728 * 4;
    expect(lengthOf(monkeysHeader(3990, kFrame, 1000, 3, 44100)), 44100, 2 * kFrame + 1000, "3.99");
    expect(lengthOf(id3 + monkeysHeader(3980, 4608, 4608, 1, 48000)), 48000, 4608, "3.98 after ID3v2");
    // Before 3.98 the blocks per frame follow from the version and, for 3.80 to 3.89, the compression.
    expect(lengthOf(monkeysHeader(3970, 0, 500, 3, 44100)), 44100, 2 * kFrame + 500, "3.97");
    expect(lengthOf(monkeysHeader(3900, 0, 500, 3, 44100)), 44100, 2 * 73728 + 500, "3.90");
    expect(lengthOf(monkeysHeader(3800, 0, 500, 3, 44100, 4000)), 44100, 2 * 73728 + 500, "3.80 extra high");
    expect(lengthOf(monkeysHeader(3800, 0, 500, 3, 44100, 2000)), 44100, 2 * 9216 + 500, "3.80");
    EXPECT_FALSE(lengthOf(monkeysHeader(3790, 0, 500, 3, 44100))) << "older than any decoder here reads";
}

TEST_F(PackedImage, TruncatedAndHostileHeadersGiveNoLength)
{
    const QByteArray wv = bytesOf("image.wv");
    const QByteArray odd = bytesOf("odd.wv");
    const QByteArray ape = monkeysHeader(3990, 73728 * 4, 1000, 3, 44100);
    ASSERT_GE(wv.size(), 64);
    for (qsizetype n = 0; n < 32; ++n)
        EXPECT_FALSE(lengthOf(wv.left(n))) << "WavPack cut at " << n;
    for (qsizetype n = 0; n < ape.size(); ++n)
        EXPECT_FALSE(lengthOf(ape.left(n))) << "Monkey's Audio cut at " << n;
    const auto patched = [](QByteArray bytes, qsizetype at, const QByteArray& with) {
        return bytes.replace(at, with.size(), with);
    };
    const QByteArray wavPackCases[] = {
        patched(wv, 12, le32(0xFFFFFFFF)), // length unknown
        patched(wv, 12, le32(0)),          // no samples
        patched(wv, 4, le32(0xFFFFFFF0)),  // a block far larger than the format allows
        patched(wv, 8, le16(0x3FF)),       // a version no decoder reads
        patched(wv, 24, le32(qFromLittleEndian<quint32>(wv.constData() + 24) | 0x80000000u)), // DSD
        odd.left(34),              // a rate of its own, its metadata cut off
        patched(odd, 4, le32(24)), // a rate of its own, and no metadata in the block
    };
    for (const QByteArray& bytes : wavPackCases)
        EXPECT_FALSE(lengthOf(bytes)) << bytes.left(32).toHex().toStdString();
    // Blocks without audio are passed over, but not for ever.
    QByteArray empty = wv.left(32);
    empty.replace(4, 4, le32(24)).replace(20, 4, le32(0));
    EXPECT_FALSE(lengthOf(empty.repeated(100) + wv));
    ASSERT_TRUE(lengthOf(empty.repeated(3) + wv));
    EXPECT_EQ(lengthOf(empty.repeated(3) + wv)->samples, kImageSamples);

    const QByteArray monkeysCases[] = {
        monkeysHeader(3990, 73728, 1000, 3, 0),                         // no rate
        monkeysHeader(3990, 73728, 1000, 0, 44100),                     // no frames
        monkeysHeader(3990, 73728, 0, 3, 44100),                        // an empty last frame
        monkeysHeader(3990, 100, 1000, 3, 44100),                       // a last frame larger than the others
        monkeysHeader(3990, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 44100), // more samples than int64 holds
        monkeysHeader(3990, 73728, 1000, 3, 0xFFFFFFFF),                // a rate no audio has
        patched(ape, 8, le32(0xFFFFFFFF)),                              // a descriptor past the file
        patched(ape, 8, le32(4)),                                       // a descriptor shorter than its fields
        QByteArray("ID3\x04\x00\x00\x7F\x7F\x7F\x7F", 10) + ape,        // an ID3v2 tag longer than the file
    };
    for (const QByteArray& bytes : monkeysCases)
        EXPECT_FALSE(lengthOf(bytes)) << bytes.toHex().toStdString();
    // A WAV file with no rate, and the FLAC and WAV readers' files are still read.
    QByteArray wav = bytesOf("odd.wav");
    EXPECT_EQ(lengthOf(wav)->samples, 37800);
    EXPECT_FALSE(lengthOf(patched(wav, 24, le32(0))));

    // A FIFO is not a file to read: nothing, at once, rather than waiting for a writer.
    const QString fifo = folder.filePath(QStringLiteral("image.wv"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_FALSE(ImageLength::Read(fifo));
    EXPECT_FALSE(ApeTag::TextItem(fifo, "Cuesheet", 1 << 20));
}

TEST_F(PackedImage, TheCuesheetItemOfAnApeTagIsFoundInAnyCaseBeforeAnId3v1Tag)
{
    const QByteArray sheet = Sheet(QStringLiteral("image.wav"));
    const QByteArray audio(1000, '\x11');
    const QByteArray cover(5000, '\xFF');
    const QList<Item> items = {{"Title", "Sine Album"}, {"Cover Art (Front)", cover, 2}, {"CUESHEET", sheet}};
    const QByteArray id3v1 = "TAG" + QByteArray(125, ' ');
    const QByteArray lyricsBody = QByteArray("LYRICSBEGIN") + "IND00002" + "10";
    const QByteArray lyrics = lyricsBody + QByteArray::number(lyricsBody.size()).rightJustified(6, '0') + "LYRICS200";
    for (const QByteArray& file : {audio + apeTag(items), audio + apeTag(items, 1000), audio + apeTag(items) + id3v1,
                                   audio + apeTag(items) + lyrics + id3v1}) {
        const std::optional<QByteArray> found = cueItem(file);
        ASSERT_TRUE(found) << file.right(200).toStdString();
        EXPECT_EQ(*found, sheet);
    }
    EXPECT_EQ(ApeTag::TextItem(FileBytes(QByteArrayView(audio + apeTag(items))), "title", 100), "Sine Album");

    // A binary item of that name, one longer than asked, or none at all: nothing.
    EXPECT_FALSE(cueItem(audio + apeTag({{"Cuesheet", sheet, 2}})));
    EXPECT_FALSE(cueItem(audio + apeTag(items), sheet.size() - 1));
    EXPECT_FALSE(cueItem(audio + apeTag({{"Cuesheets", sheet}, {"Cue", sheet}})));
    EXPECT_FALSE(cueItem(audio));

    // Hostile tags: sizes and counts past the file, keys without an end, a version no writer uses.
    const QByteArray good = apeTag(items);
    const qsizetype footer = good.size() - 32;
    const auto patched = [&](qsizetype at, const QByteArray& with) {
        return audio + QByteArray(good).replace(at, with.size(), with);
    };
    QByteArray counted = apeTag({{"Title", "x"}});
    counted.replace(counted.size() - 16, 4, le32(0xFFFFFFFF));
    const QByteArray hostile[] = {
        patched(footer + 12, le32(0xFFFFFFFF)),            // a tag larger than the file
        patched(footer + 12, le32(31)),                    // a tag smaller than its footer
        patched(footer + 8, le32(3000)),                   // an unknown version
        patched(0, le32(0xFFFFFFF0)),                      // an item's value past the tag
        patched(8, QByteArray(good.size() - 8 - 32, 'k')), // keys without their NUL
        audio + counted,                                   // more items than it holds
        good.right(40),                                    // the tag's start cut off
        good.right(20),                                    // no whole footer
    };
    for (const QByteArray& bytes : hostile)
        EXPECT_FALSE(cueItem(bytes)) << bytes.right(32).toHex().toStdString();
}

TEST_F(PackedImage, AWavPackImageIsListedAsItsTracksAndItsTracksJoinedAreTheImage)
{
    // The sheet beside it names the WAV file it was ripped as; the image of that stem is found.
    const QString wv = copy("image.wv", "image.wv");
    ASSERT_TRUE(Write(folder.filePath(QStringLiteral("image.cue")), Sheet(QStringLiteral("image.wav"))));
    AlbumListing listing;
    const QList<FileQueue::Entry> entries = listing.List({wv}, QString());
    ASSERT_EQ(entries.size(), 3);
    const QList<std::pair<qint64, qint64>> ranges = {{0, kTrack2}, {kTrack2, kTrack3}, {kTrack3, -1}};
    QStringList outputs;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        ASSERT_TRUE(entries[i].track);
        const CueTrack& t = *entries[i].track;
        EXPECT_EQ(t.audioPath, wv);
        EXPECT_EQ(std::make_pair(t.start, t.end), ranges[i]) << "track " << i + 1;
        const QString out = folder.filePath(QStringLiteral("%1.flac").arg(t.number));
        const QString range = QStringLiteral("%1-%2").arg(t.start).arg(t.end < 0 ? QString() : QString::number(t.end));
        int status = -1;
        RunProgram(buildProgramFolder() + QStringLiteral("/data/conv.exe"), {"-i", wv, "-range", range, "-y", out},
                   &status);
        ASSERT_EQ(status, 0) << "track " << i + 1;
        outputs << out;
    }
    const QByteArray joined = Decoded(outputs);
    EXPECT_EQ(joined.size(), kImageSamples * 4);
    EXPECT_EQ(Md5(joined), Md5(Decoded({made("image.wav")})));
    EXPECT_TRUE(listing.notes().isEmpty());
}

TEST_F(PackedImage, ASheetInTheApeTagOfAWavPackOrMonkeysAudioImageListsItsTracks)
{
    // As a ripper writes it, with wvtag; the sheet's FILE names a file that is nowhere.
    const QString wv = copy("image.wv", "tagged.wv");
    const QString cue = folder.filePath(QStringLiteral("sheet.txt"));
    ASSERT_TRUE(Write(cue, Sheet(QStringLiteral("Somewhere Else.wav"))));
    int status = -1;
    RunProgram(QStringLiteral("wvtag"), {"-q", "-w", "Cuesheet=@" + cue, wv}, &status);
    ASSERT_EQ(status, 0);
    // Monkey's Audio: a header whose length holds the sheet's tracks, and the tag after it.
    const QString ape = folder.filePath(QStringLiteral("album.ape"));
    ASSERT_TRUE(Write(ape, monkeysHeader(3990, 73728 * 4, 1000, 3, 44100) + QByteArray(4000, '\0') +
                               apeTag({{"cuesheet", Sheet(QStringLiteral("album.wav"))}})));
    for (const QString& image : {wv, ape}) {
        AlbumListing listing;
        const QList<FileQueue::Entry> entries = listing.List({image}, QStringLiteral("/root"));
        ASSERT_EQ(entries.size(), 3) << image.toStdString();
        EXPECT_EQ(entries[1].reference(), image + "#2");
        EXPECT_EQ(entries[1].track->start, kTrack2);
        EXPECT_EQ(entries[1].track->tags.title, QStringLiteral("AC/DC Cover"));
        EXPECT_EQ(entries[2].track->start, kTrack3);
        EXPECT_EQ(entries[2].track->end, -1);
        EXPECT_TRUE(listing.notes().isEmpty()) << listing.notes().join(' ').toStdString();
    }

    // An image whose length cannot be read is listed whole, with the reason.
    const QString old = folder.filePath(QStringLiteral("old.ape"));
    ASSERT_TRUE(
        Write(old, monkeysHeader(3700, 0, 500, 3, 44100) + apeTag({{"Cuesheet", Sheet(QStringLiteral("old.wav"))}})));
    AlbumListing listing;
    const QList<FileQueue::Entry> entries = listing.List({old}, QString());
    ASSERT_EQ(entries.size(), 1);
    EXPECT_FALSE(entries[0].track);
    EXPECT_EQ(listing.notes(),
              QStringList{QStringLiteral("old.ape is listed whole: the length of \"old.ape\" cannot be read")});
}

} // namespace

TEST_F(PackedImage, Mp3AndOggImagesAreCutAtTheirHeadersRateAndATrackPastTheirEndFailsAsItConverts)
{
    int status = -1;
    const QString mp3 = folder.filePath(QStringLiteral("mix.mp3"));
    const QString ogg = folder.filePath(QStringLiteral("mix.ogg"));
    const QString opus = folder.filePath(QStringLiteral("mix.opus"));
    RunProgram(QStringLiteral("ffmpeg"),
               {"-nostdin", "-v", "error", "-i", made("image.wav"), "-b:a", "192k", "-id3v2_version", "3", mp3, "-c:a",
                "libvorbis", ogg, "-c:a", "libopus", opus},
               &status);
    ASSERT_EQ(status, 0);
    for (const QString& image : {mp3, ogg}) {
        ASSERT_TRUE(Write(folder.filePath(QStringLiteral("mix.cue")), Sheet(QFileInfo(image).fileName())));
        AlbumListing listing;
        const QList<FileQueue::Entry> entries = listing.List({image}, QString());
        ASSERT_EQ(entries.size(), 3) << image.toStdString() << listing.notes().join(' ').toStdString();
        EXPECT_EQ(std::make_pair(entries[1].track->start, entries[1].track->end), std::make_pair(kTrack2, kTrack3));
        EXPECT_EQ(entries[2].track->end, -1);
    }
    const auto opusLength = ImageLength::Read(opus);
    ASSERT_TRUE(opusLength);
    EXPECT_EQ(opusLength->rate, 48000);
    EXPECT_EQ(opusLength->samples, AudioLength::kUnknownSamples);

    // A sheet whose last track lies past the end of the MP3: no header says so, so the track is listed
    // and its conversion fails with the reason.
    QByteArray late = Sheet(QStringLiteral("mix.mp3"));
    late.replace("INDEX 01 00:08:00", "INDEX 01 59:00:00");
    ASSERT_TRUE(Write(folder.filePath(QStringLiteral("mix.cue")), late));
    AlbumListing listing;
    const QList<FileQueue::Entry> entries = listing.List({mp3}, QString());
    ASSERT_EQ(entries.size(), 3);
    const QString range = QStringLiteral("%1-").arg(entries[2].track->start);
    const QByteArray said =
        RunProgram(buildProgramFolder() + QStringLiteral("/data/conv.exe"),
                   {"-i", mp3, "-range", range, "-y", folder.filePath(QStringLiteral("3.flac"))}, &status);
    EXPECT_NE(status, 0);
    EXPECT_FALSE(QFile::exists(folder.filePath(QStringLiteral("3.flac"))));

    // MPEG frame sync bytes with no second frame where the first one's length ends are no MP3.
    const QByteArray frame = QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\0');
    EXPECT_FALSE(lengthOf(frame + QByteArray(8, 'x')));
    const auto twoFrames = lengthOf(frame + frame);
    ASSERT_TRUE(twoFrames);
    EXPECT_EQ(twoFrames->rate, 44100);
    EXPECT_FALSE(lengthOf(QByteArray("OggS") + QByteArray(40, '\0')));
}
