// Loudness in a whole batch, from the terminal through the real tool: tags that agree with loudgain,
// outputs evened out by track and by album, albums across CD folders, files with nothing to measure,
// and a tool of the user's own.
#include "TestSupport.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QJsonArray>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

using namespace TestSupport;

namespace {

bool ffmpeg(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error", "-y"} + args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Pink noise as a 16-bit stereo FLAC file with the tags given; amplitudes 0.5 and 0.05 lie 20 dB apart.
bool pinkNoise(const QString& path, double amplitude, int seed, const QStringList& tags = {}, double seconds = 8)
{
    QStringList args = {
        "-f",
        "lavfi",
        "-i",
        QStringLiteral("anoisesrc=color=pink:amplitude=%1:duration=%2:seed=%3").arg(amplitude).arg(seconds).arg(seed),
        "-ac",
        "2",
        "-ar",
        "44100",
        "-sample_fmt",
        "s16"};
    for (const QString& t : tags)
        args << "-metadata" << t;
    return ffmpeg(args << path);
}

struct Measured
{
    double lufs = 0;
    double truePeakDbtp = 0;
};

// loudgain's integrated loudness and true peak of a file; with album, its figure for the files as one.
std::optional<Measured> loudgain(const QStringList& paths, bool album = false)
{
    QProcess p;
    p.start(QStringLiteral("loudgain"), QStringList{"-q", "-O"} + (album ? QStringList{"-a"} : QStringList{}) + paths);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return std::nullopt;
    const QList<QByteArray> cells = p.readAllStandardOutput().trimmed().split('\n').last().split('\t');
    if (cells.size() < 5)
        return std::nullopt;
    return Measured{cells[1].split(' ').first().toDouble(), cells[4].split(' ').first().toDouble()};
}

// FFmpeg's ebur128 filter, the second referee: the integrated loudness of its summary (one decimal).
std::optional<double> ebur128(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {"-nostdin", "-i", path, "-af", "ebur128", "-f", "null", "-"});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return std::nullopt;
    const QString err = QString::fromUtf8(p.readAllStandardError());
    const qsizetype summary = err.lastIndexOf(QLatin1String("Summary:"));
    const qsizetype at = err.indexOf(QLatin1String("I:"), summary);
    if (summary < 0 || at < 0)
        return std::nullopt;
    return err.mid(at + 2).trimmed().split(QLatin1Char(' ')).first().toDouble();
}

QString findUnder(const QString& folder, const char* name)
{
    QDirIterator it(folder, {QString::fromLatin1(name)}, QDir::Files, QDirIterator::Subdirectories);
    return it.hasNext() ? it.next() : QString();
}

double decibels(const QString& tag)
{
    return tag.split(QLatin1Char(' ')).first().toDouble();
}

class LoudnessBatch : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(makeProgramFolder(program));
        ASSERT_TRUE(QDir().mkpath(file("in")));
        ASSERT_TRUE(pinkNoise(file("in/loud.flac"), 0.5, 1));
        ASSERT_TRUE(pinkNoise(file("in/quiet.flac"), 0.05, 2));
    }
    QString executable() const { return program + QStringLiteral("/veltra-wma-converter"); }
    QString file(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }

    Ran run(const QStringList& arguments, const QString& fakeOps = QString()) const
    {
        QProcessEnvironment extra;
        if (!fakeOps.isEmpty())
            extra.insert(QStringLiteral("FAKE_TOOL_OPS"), fakeOps);
        return runWithoutDisplay(
            executable(),
            QStringList{QStringLiteral("--convert"), QStringLiteral("--jobs"), QStringLiteral("2")} + arguments,
            dir.path(), extra);
    }

    QTemporaryDir dir;
    QString program = dir.path() + QStringLiteral("/program");
};

TEST_F(LoudnessBatch, TagsOnFlacAgreeWithLoudgainShareOneAlbumGainAndLeaveTheAudioAlone)
{
    const Ran r = run({"--format", "flac", "--loudness", "tags", "--folders", "flat", "--output", "out", "in"});
    SCOPED_TRACE(r.out.toStdString() + r.err.toStdString());
    ASSERT_EQ(r.status, 0);
    const auto inLoud = loudgain({file("in/loud.flac")});
    const auto inQuiet = loudgain({file("in/quiet.flac")});
    const auto inAlbum = loudgain({file("in/loud.flac"), file("in/quiet.flac")}, true);
    ASSERT_TRUE(inLoud && inQuiet && inAlbum);
    const auto loud = gainTags(file("out/loud.flac"));
    const auto quiet = gainTags(file("out/quiet.flac"));
    // Tags are given to two decimals: 0.1 dB covers their rounding and the meters' differences.
    EXPECT_NEAR(decibels(loud.value("REPLAYGAIN_TRACK_GAIN")), -18 - inLoud->lufs, 0.1);
    EXPECT_NEAR(decibels(quiet.value("REPLAYGAIN_TRACK_GAIN")), -18 - inQuiet->lufs, 0.1);
    EXPECT_NEAR(decibels(loud.value("REPLAYGAIN_ALBUM_GAIN")), -18 - inAlbum->lufs, 0.1);
    EXPECT_EQ(loud.value("REPLAYGAIN_ALBUM_GAIN"), quiet.value("REPLAYGAIN_ALBUM_GAIN"));
    EXPECT_EQ(loud.value("REPLAYGAIN_ALBUM_PEAK"), quiet.value("REPLAYGAIN_ALBUM_PEAK"));
    EXPECT_GT(loud.value("REPLAYGAIN_TRACK_PEAK").toDouble(), 0.2);
    // The audio as it was: the outputs measure as the inputs did.
    const auto outLoud = loudgain({file("out/loud.flac")});
    ASSERT_TRUE(outLoud);
    EXPECT_NEAR(outLoud->lufs, inLoud->lufs, 0.01);
    // The report gives each file's gain, signed.
    for (const auto& [name, lufs] :
         {std::pair{"in/loud.flac", inLoud->lufs}, std::pair{"in/quiet.flac", inQuiet->lufs}}) {
        const double gain = -18 - lufs;
        EXPECT_TRUE(r.out.contains(QStringLiteral("%1: ok (%2%3 dB)\n")
                                       .arg(file(QLatin1String(name)), gain > 0 ? QStringLiteral("+") : QString())
                                       .arg(QString::number(gain, 'f', 1))))
            << name;
    }
}

TEST_F(LoudnessBatch, EvenOutByTrackReachesTheTargetAndByAlbumKeepsTheDifference)
{
    // Clicks: hardly any loudness, but a peak near full scale that caps the gain at -1 dBTP.
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "aevalsrc=0.9*eq(mod(n\\,4410)\\,0):s=44100:d=8", "-ac", "2",
                        "-sample_fmt", "s16", file("in/clicks.flac")}));
    const Ran track = run({"--format", "flac", "--loudness", "track", "--folders", "flat", "--output", "track", "in"});
    SCOPED_TRACE(track.out.toStdString() + track.err.toStdString());
    ASSERT_EQ(track.status, 0);
    for (const char* name : {"loud", "quiet"}) {
        const QString out = file(QStringLiteral("track/%1.flac").arg(QLatin1String(name)));
        const auto m = loudgain({out});
        ASSERT_TRUE(m) << name;
        EXPECT_NEAR(m->lufs, -18.0, 0.1) << name;
        EXPECT_LE(m->truePeakDbtp, -1.0) << name;
        const auto referee = ebur128(out);
        ASSERT_TRUE(referee);
        EXPECT_NEAR(*referee, -18.0, 0.15) << name;
        EXPECT_EQ(gainTags(out).value("REPLAYGAIN_TRACK_GAIN"), QStringLiteral("0.00 dB")) << "nothing left to apply";
    }
    const auto clicks = loudgain({file("track/clicks.flac")});
    ASSERT_TRUE(clicks);
    EXPECT_LT(clicks->lufs, -19.0) << "peak-limited short of the target";
    EXPECT_LE(clicks->truePeakDbtp, -0.95);
    EXPECT_GT(decibels(gainTags(file("track/clicks.flac")).value("REPLAYGAIN_TRACK_GAIN")), 1.0);
    EXPECT_TRUE(track.out.contains(QStringLiteral("clicks.flac: ok (")) &&
                track.out.contains(QStringLiteral("lowered to keep the peak under -1 dBTP")));

    // Lossy outputs come within 1 LU.
    const Ran mp3 = run({"--format", "mp3", "--loudness", "track", "--folders", "flat", "--output", "mp3", "in"});
    ASSERT_EQ(mp3.status, 0) << mp3.err.toStdString();
    for (const char* name : {"loud", "quiet"}) {
        const auto m = loudgain({file(QStringLiteral("mp3/%1.mp3").arg(QLatin1String(name)))});
        ASSERT_TRUE(m) << name;
        EXPECT_NEAR(m->lufs, -18.0, 1.0) << name;
    }

    // By album: one gain, so the quiet file stays 20 LU under the loud one, which the album's figure
    // (the quiet blocks gated out) brings to the target.
    ASSERT_TRUE(QFile::remove(file("in/clicks.flac")));
    const Ran album = run({"--format", "flac", "--loudness", "album", "--folders", "flat", "--output", "album", "in"});
    ASSERT_EQ(album.status, 0) << album.err.toStdString();
    const auto loud = loudgain({file("album/loud.flac")});
    const auto quiet = loudgain({file("album/quiet.flac")});
    ASSERT_TRUE(loud && quiet);
    EXPECT_NEAR(loud->lufs, -18.0, 0.1);
    const auto inLoud = loudgain({file("in/loud.flac")});
    const auto inQuiet = loudgain({file("in/quiet.flac")});
    ASSERT_TRUE(inLoud && inQuiet);
    EXPECT_NEAR(loud->lufs - quiet->lufs, inLoud->lufs - inQuiet->lufs, 0.05);
    EXPECT_EQ(gainTags(file("album/quiet.flac")).value("REPLAYGAIN_ALBUM_GAIN"), QStringLiteral("0.00 dB"));
}

TEST_F(LoudnessBatch, CdFoldersWithOneAlbumTagAreOneAlbumAndALoneFileIsItsOwn)
{
    ASSERT_TRUE(QDir().mkpath(file("lib/Blue/CD1")) && QDir().mkpath(file("lib/Blue/CD2")) &&
                QDir().mkpath(file("lib/single")));
    ASSERT_TRUE(pinkNoise(file("lib/Blue/CD1/one.flac"), 0.5, 3, {"album=Blue", "artist=Nora"}));
    ASSERT_TRUE(pinkNoise(file("lib/Blue/CD2/two.flac"), 0.05, 4, {"album=Blue", "artist=Nora"}));
    ASSERT_TRUE(pinkNoise(file("lib/single/alone.flac"), 0.05, 5));
    const Ran r = run({"--format", "flac", "--loudness", "album", "--output", "out", "lib"});
    SCOPED_TRACE(r.out.toStdString() + r.err.toStdString());
    ASSERT_EQ(r.status, 0);
    // The folders below the one added are kept.
    const auto one = loudgain({findUnder(file("out"), "one.flac")});
    const auto two = loudgain({findUnder(file("out"), "two.flac")});
    const auto alone = loudgain({findUnder(file("out"), "alone.flac")});
    ASSERT_TRUE(one && two && alone);
    EXPECT_NEAR(one->lufs, -18.0, 0.1);
    EXPECT_NEAR(one->lufs - two->lufs, 20.0, 0.5) << "CD2 got CD1's album gain";
    EXPECT_NEAR(alone->lufs, -18.0, 0.1) << "its own album";
    EXPECT_EQ(gainTags(findUnder(file("out"), "two.flac")).value("REPLAYGAIN_ALBUM_GAIN"), QStringLiteral("0.00 dB"));
    EXPECT_TRUE(findUnder(file("out"), "two.flac").endsWith(QLatin1String("/Blue/CD2/two.flac")));
}

TEST_F(LoudnessBatch, SilentShortAndBrokenFilesSayWhyAndOnlyTheBrokenOneFails)
{
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo", "-t", "3", file("in/silent.wav")}));
    ASSERT_TRUE(pinkNoise(file("in/short.flac"), 0.5, 6, {}, 0.2));
    QFile broken(file("in/broken.flac"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("fLaC") + QByteArray(4000, '\x5a'));
    broken.close();
    const Ran r = run({"--format", "flac", "--loudness", "album", "--folders", "flat", "--output", "out", "in"});
    SCOPED_TRACE(r.out.toStdString() + r.err.toStdString());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.contains(file("in/silent.wav") + QStringLiteral(": ok (no gain: it never rises above -70 LUFS")));
    EXPECT_TRUE(r.out.contains(file("in/short.flac") + QStringLiteral(": ok (no gain: shorter than 0.4 s")));
    EXPECT_TRUE(r.err.contains(file("in/broken.flac") + QStringLiteral(": ")));
    EXPECT_FALSE(QFile::exists(file("out/broken.flac")));
    EXPECT_TRUE(gainTags(file("out/silent.flac")).isEmpty());
    EXPECT_TRUE(gainTags(file("out/short.flac")).isEmpty());
    // The album went on without the broken file: the loud one at the target, the quiet one 20 LU under.
    const auto loud = loudgain({file("out/loud.flac")});
    ASSERT_TRUE(loud);
    EXPECT_NEAR(loud->lufs, -18.0, 0.1);
    EXPECT_FALSE(gainTags(file("out/quiet.flac")).isEmpty());
}

TEST_F(LoudnessBatch, AToolOfTheUsersOwnConvertsWithoutLoudnessAndSaysSoOnce)
{
    ASSERT_TRUE(QFile::remove(program + QStringLiteral("/data/conv.exe")));
    ASSERT_TRUE(QFile::copy(fakeToolPath(), program + QStringLiteral("/data/conv.exe")));
    const QString log = file("args.log");
    const Ran r = run({"--format", "mp3", "--loudness", "track", "--folders", "flat", "--output", "out", "in"},
                      QStringLiteral("logto:%1;touch").arg(log));
    SCOPED_TRACE(r.out.toStdString() + r.err.toStdString());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err.count(QStringLiteral("Loudness needs the program's own conversion tool")), 1);
    const QStringList runs = linesOf(log);
    EXPECT_EQ(runs.size(), 2);
    for (const QString& line : runs)
        EXPECT_FALSE(line.contains(QLatin1String("-analyse")) || line.contains(QLatin1String("volume=")) ||
                     line.contains(QLatin1String("REPLAYGAIN")))
            << line.toStdString();

    // Tags into a format that keeps none: said once, converted as they are, with no analysis.
    ASSERT_TRUE(QFile::remove(program + QStringLiteral("/data/conv.exe")));
    ASSERT_TRUE(QFile::link(buildProgramFolder() + QStringLiteral("/data/conv.exe"),
                            program + QStringLiteral("/data/conv.exe")));
    const Ran wav = run({"--format", "wav", "--loudness", "tags", "--folders", "flat", "--output", "wav", "in"});
    EXPECT_EQ(wav.status, 0);
    EXPECT_EQ(wav.err.count(QStringLiteral("WAV files keep no gain tags")), 1) << wav.err.toStdString();
    EXPECT_TRUE(wav.out.contains(file("in/loud.flac") + QStringLiteral(": ok\n"))) << wav.out.toStdString();
}

} // namespace

TEST_F(LoudnessBatch, ASkipRunThatFindsEveryOutputMeasuresNothingAndOneMissingOutputHasItsWholeAlbumMeasured)
{
    const QStringList args = {"--format",  "flac", "--loudness", "album", "--existing", "skip",
                              "--folders", "flat", "--output",   "out",   "in"};
    const Ran first = run(args);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    const QString albumGain = gainTags(file("out/loud.flac")).value(QStringLiteral("REPLAYGAIN_ALBUM_GAIN"));
    ASSERT_FALSE(albumGain.isEmpty());

    // The inputs are kept aside and one is broken: a run that measured them would fail it.
    ASSERT_TRUE(QFile::rename(file("in/quiet.flac"), file("quiet.flac")));
    QFile broken(file("in/quiet.flac"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray("fLaC") + QByteArray(4000, '\x5a'));
    broken.close();
    const Ran again = run(args);
    SCOPED_TRACE(again.out.toStdString() + again.err.toStdString());
    EXPECT_EQ(again.status, 0);
    EXPECT_FALSE(again.err.contains(file("in/quiet.flac")));

    // One output gone: the album is measured whole again, so the new output's album gain is the first one's.
    ASSERT_TRUE(QFile::remove(file("in/quiet.flac")));
    ASSERT_TRUE(QFile::rename(file("quiet.flac"), file("in/quiet.flac")));
    ASSERT_TRUE(QFile::remove(file("out/loud.flac")));
    const Ran third = run(args);
    EXPECT_EQ(third.status, 0) << third.err.toStdString();
    EXPECT_EQ(gainTags(file("out/loud.flac")).value(QStringLiteral("REPLAYGAIN_ALBUM_GAIN")), albumGain);
    EXPECT_EQ(QDir(file("out")).entryList(QDir::Files).size(), 2);
}
