// Loudness through the real tool: its analysis against loudgain and libebur128, a gain on the way to
// the encoder, the ReplayGain tags each format keeps, and the input's stale gain tags left out.
#include "AlbumLoudness.h"
#include "TestSupport.h"
#include "ToolJobs.h"
#include "ToolRecord.h"

#include <QFile>
#include <QJsonArray>
#include <QMap>
#include <QProcess>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

struct ToolRun
{
    int status = -1;
    QByteArray console;
    QByteArray record;
};

// The tool with its record on descriptor 3; in job mode (args empty) it reads the jobs given.
ToolRun runTool(const QStringList& args, const QString& recordPath, const QByteArray& jobs = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELTRA_TOOL_RECORD"), QStringLiteral("3"));
    env.insert(QStringLiteral("VELTRA_FFMPEG"), QStringLiteral("/nonexistent/ffmpeg"));
    if (!jobs.isEmpty())
        env.insert(QString::fromLatin1(ToolJobs::kJobsVariable), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    recordTo(p, recordPath);
    p.start(buildProgramFolder() + QStringLiteral("/data/conv.exe"), args);
    p.write(jobs);
    p.closeWriteChannel();
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    QFile f(recordPath);
    f.open(QIODevice::ReadOnly);
    return {p.exitCode(), p.readAll(), f.readAll()};
}

struct Analysis
{
    std::optional<ToolRecord::Loudness> result;
    std::vector<double> blocks;
};

Analysis read(const QByteArray& record)
{
    Analysis a;
    for (const QByteArray& line : record.split('\n')) {
        const std::string_view text(line.constData(), size_t(line.size()));
        if (!ToolRecord::ParseBlocks(text, a.blocks) && ToolRecord::ParseLoudness(text))
            a.result = ToolRecord::ParseLoudness(text);
    }
    return a;
}

bool ffmpeg(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error", "-y"} + args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

// Pink noise as a 16-bit stereo FLAC file; 0.5 and 0.05 lie 20 dB apart.
bool pinkNoise(const QString& path, double amplitude, double seconds = 8, int seed = 1)
{
    return ffmpeg(
        {"-f", "lavfi", "-i",
         QStringLiteral("anoisesrc=color=pink:amplitude=%1:duration=%2:seed=%3").arg(amplitude).arg(seconds).arg(seed),
         "-ac", "2", "-ar", "44100", "-sample_fmt", "s16", path});
}

// loudgain's integrated loudness of a file (LUFS), from its tab-separated table.
std::optional<double> loudgain(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("loudgain"), {"-q", "-O", path});
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return std::nullopt;
    const QList<QByteArray> lines = p.readAllStandardOutput().trimmed().split('\n');
    const QList<QByteArray> cells = lines.last().split('\t');
    if (cells.size() < 2)
        return std::nullopt;
    return cells[1].split(' ').first().toDouble();
}

const QStringList kReplayGain = {
    "-metadata", "REPLAYGAIN_TRACK_GAIN=-6.52 dB", "-metadata", "REPLAYGAIN_TRACK_PEAK=0.988553",
    "-metadata", "REPLAYGAIN_ALBUM_GAIN=-5.25 dB", "-metadata", "REPLAYGAIN_ALBUM_PEAK=1.000000"};

class Loudness : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(pinkNoise(file("loud.flac"), 0.5, 8, 1));
        ASSERT_TRUE(pinkNoise(file("quiet.flac"), 0.05, 8, 2));
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    Analysis analyse(const QString& in, const char* peak = "sample_peak", const QStringList& more = {})
    {
        const ToolRun r =
            runTool(QStringList{"-i", in} + more + QStringList{"-analyse", peak, file("never.flac")}, file("record"));
        EXPECT_EQ(r.status, 0) << r.console.toStdString();
        EXPECT_FALSE(QFile::exists(file("never.flac")));
        return read(r.record);
    }
    QTemporaryDir dir;
};

TEST_F(Loudness, QuietAndLoudPinkNoiseMeasureAsLoudgainDoesAndTheirAlbumAsLibebur128Does)
{
    const Analysis loud = analyse(file("loud.flac"));
    const Analysis quiet = analyse(file("quiet.flac"));
    ASSERT_TRUE(loud.result && quiet.result);
    ASSERT_EQ(loud.result->kind, ToolRecord::Loudness::Kind::Measured);
    EXPECT_EQ(loud.result->blocks, loud.blocks.size());
    EXPECT_EQ(loud.blocks.size(), 77u) << "one block every 100 ms from 0.4 s to 8 s";
    EXPECT_FALSE(loud.result->truePeak);
    EXPECT_NEAR(loud.result->integrated - quiet.result->integrated, 20.0, 0.5);
    const auto loudgainLoud = loudgain(file("loud.flac"));
    const auto loudgainQuiet = loudgain(file("quiet.flac"));
    ASSERT_TRUE(loudgainLoud && loudgainQuiet);
    EXPECT_NEAR(loud.result->integrated, *loudgainLoud, 0.1);
    EXPECT_NEAR(quiet.result->integrated, *loudgainQuiet, 0.1);
    // The blocks give libebur128's own figure back; the quiet track lies under the album's relative gate.
    EXPECT_NEAR(*AlbumLoudness::Of({loud.blocks}), loud.result->integrated, 1e-4);
    EXPECT_NEAR(*AlbumLoudness::Of({quiet.blocks, loud.blocks}), loud.result->integrated, 1e-4);

    // Mono counts its one channel once: the same noise in both channels reads 3 dB louder.
    const Analysis mono = analyse(file("loud.flac"), "sample_peak", {"-ac", "1"});
    ASSERT_TRUE(mono.result);
    EXPECT_NEAR(loud.result->integrated - mono.result->integrated, 3.01, 0.05);

    // True peak, only when asked: a quarter of the rate at 45 degrees puts every sample at 0.707 of the peak.
    ASSERT_TRUE(
        ffmpeg({"-f", "lavfi", "-i", "aevalsrc=0.5*sin(2*PI*11025*t+PI/4)|0.5*sin(2*PI*11025*t+PI/4):s=44100:d=3",
                "-c:a", "pcm_f32le", file("between.wav")}));
    const Analysis between = analyse(file("between.wav"), "true_peak");
    ASSERT_TRUE(between.result && between.result->truePeak);
    EXPECT_NEAR(between.result->samplePeak, 0.3536, 0.001);
    EXPECT_NEAR(*between.result->truePeak, 0.5, 0.01);
}

TEST_F(Loudness, AGainOnALosslessOutputLandsAtTheTargetAndTheJobRecordsItsName)
{
    const Analysis quiet = analyse(file("quiet.flac"));
    ASSERT_TRUE(quiet.result);
    const double gain = -18.0 - quiet.result->integrated;
    char volume[64];
    std::snprintf(volume, sizeof volume, "volume=%.2fdB", gain);
    // One tool process, the analysis and then the conversion, as a worker runs them.
    const std::vector<QByteArray> analysis = {"-i", QFile::encodeName(file("quiet.flac")), "-analyse", "true_peak",
                                              QFile::encodeName(file("out.flac"))};
    std::vector<QByteArray> conversion = {"-i", QFile::encodeName(file("quiet.flac")), "-y", "-vn", "-af", volume};
    for (const QString& a : kReplayGain)
        conversion.push_back(a.toUtf8());
    conversion.push_back(QFile::encodeName(file("out.flac")));
    const ToolRun r = runTool({}, file("record"),
                              QByteArray::fromStdString(ToolJobs::Encode(analysis) + ToolJobs::Encode(conversion)));
    ASSERT_EQ(r.status, 0) << r.console.toStdString();
    const QList<QByteArray> lines = r.record.trimmed().split('\n');
    ASSERT_GE(lines.size(), 5) << r.record.toStdString();
    EXPECT_TRUE(lines[0].startsWith("blocks "));
    EXPECT_TRUE(lines[lines.size() - 4].startsWith("loudness "));
    EXPECT_EQ(lines.mid(lines.size() - 3), (QList<QByteArray>{"end 0", "name 1 0", "end 0"}));

    const Analysis out = analyse(file("out.flac"));
    ASSERT_TRUE(out.result);
    EXPECT_NEAR(out.result->integrated, -18.0, 0.1);
    EXPECT_EQ(gainTags(file("out.flac")).value(QStringLiteral("REPLAYGAIN_TRACK_GAIN")), QStringLiteral("-6.52 dB"));
}

TEST_F(Loudness, EachFormatKeepsTheGainTagsItsPlayersReadAndTheOthersSayTheyKeepNone)
{
    using Tags = QMap<QString, QString>;
    const Tags replayGain = {{"REPLAYGAIN_TRACK_GAIN", "-6.52 dB"},
                             {"REPLAYGAIN_TRACK_PEAK", "0.988553"},
                             {"REPLAYGAIN_ALBUM_GAIN", "-5.25 dB"},
                             {"REPLAYGAIN_ALBUM_PEAK", "1.000000"}};
    // Opus: Q7.8 steps relative to -23 LUFS, (-6.52 - 5) * 256 and (-5.25 - 5) * 256.
    const std::pair<const char*, Tags> cases[] = {
        {"mp3", replayGain},  {"ogg", replayGain},
        {"flac", replayGain}, {"wma", replayGain},
        {"m4a", replayGain},  {"opus", {{"R128_TRACK_GAIN", "-2949"}, {"R128_ALBUM_GAIN", "-2624"}}},
        {"wav", {}},          {"aac", {}},
        {"ac3", {}},          {"amr", {}}};
    for (const auto& [ext, wanted] : cases) {
        const QString out = file("tagged.") + QLatin1String(ext);
        QStringList args = {"-i", file("quiet.flac"), "-y"};
        if (QLatin1String(ext) == QLatin1String("amr"))
            args += QStringList{"-ar", "8000", "-ab", "7.4k", "-ac", "1"};
        const ToolRun r = runTool(args + kReplayGain + QStringList{out}, file("record"));
        ASSERT_EQ(r.status, 0) << ext << ": " << r.console.toStdString();
        EXPECT_EQ(r.record, "name 1 0\n") << ext;
        EXPECT_EQ(gainTags(out), wanted) << ext;
        EXPECT_EQ(r.console.contains("keeps no gain tags"), wanted.isEmpty()) << ext;
    }
    // M4A keeps them as freeform atoms, which FFmpeg reads in lower case.
    EXPECT_TRUE(probeAll(file("tagged.m4a"))[QStringLiteral("format")][QStringLiteral("tags")].toObject().contains(
        QStringLiteral("replaygain_track_gain")));
}

TEST_F(Loudness, TheInputsGainTagsAreLeftOutWhereTheyNoLongerHold)
{
    ASSERT_TRUE(ffmpeg({"-i", file("quiet.flac"), "-metadata", "REPLAYGAIN_TRACK_GAIN=+3.00 dB", "-metadata",
                        "replaygain_album_peak=0.5", "-metadata", "R128_TRACK_GAIN=100", "-metadata", "title=Kept",
                        file("tagged.flac")}));
    const std::tuple<const char*, QStringList, QStringList> cases[] = {
        {"plain.mp3", {}, {"R128_TRACK_GAIN", "REPLAYGAIN_ALBUM_PEAK", "REPLAYGAIN_TRACK_GAIN"}},
        {"plain.opus", {}, {"R128_TRACK_GAIN"}},
        {"cut.mp3", {"-ss", "1"}, {}},
        {"length.ogg", {"-t", "5"}, {}},
        {"louder.flac", {"-af", "volume=3dB"}, {}},
        {"retagged.mp3", {"-metadata", "REPLAYGAIN_TRACK_GAIN=-1.00 dB"}, {"REPLAYGAIN_TRACK_GAIN"}}};
    for (const auto& [name, more, kept] : cases) {
        const QString out = file(name);
        const ToolRun r =
            runTool(QStringList{"-i", file("tagged.flac"), "-y"} + more + QStringList{out}, file("record"));
        ASSERT_EQ(r.status, 0) << name << ": " << r.console.toStdString();
        EXPECT_EQ(gainTags(out).keys(), kept) << name;
        EXPECT_EQ(gainTags(out, true).value(QStringLiteral("TITLE")), QStringLiteral("Kept")) << name;
    }
    EXPECT_EQ(gainTags(file("retagged.mp3")).value(QStringLiteral("REPLAYGAIN_TRACK_GAIN")),
              QStringLiteral("-1.00 dB"));
}

TEST_F(Loudness, ASilentOrTooShortFileHasNoLoudnessAndSaysWhyAndAFailedOneFailsWithItsReason)
{
    ASSERT_TRUE(ffmpeg({"-f", "lavfi", "-i", "anullsrc=r=44100:cl=stereo", "-t", "3", file("silent.wav")}));
    ASSERT_TRUE(pinkNoise(file("short.flac"), 0.5, 0.2));
    for (const auto& [in, kind, why] : {std::tuple{"silent.wav", "silent", "never rises above -70 LUFS"},
                                        std::tuple{"short.flac", "short", "shorter than 0.4 s"}}) {
        const ToolRun r = runTool({"-i", file(in), "-analyse", "true_peak", file("x.mp3")}, file("record"));
        EXPECT_EQ(r.status, 0) << r.console.toStdString();
        EXPECT_TRUE(r.console.contains(why)) << r.console.toStdString();
        EXPECT_TRUE(r.record.startsWith(QByteArray("loudness ") + kind) && r.record.endsWith(" 0\n"))
            << "no blocks: " << r.record.toStdString();
    }
    for (const QStringList& bad :
         {QStringList{"-i", file("missing.flac"), "-analyse", "sample_peak", file("x.mp3")},
          QStringList{"-i", file("loud.flac"), "-analyse", "loudest", file("x.mp3")},
          QStringList{"-i", file("loud.flac"), "-metadata", "REPLAYGAIN_TRACK_GAIN=loud", file("x.mp3")}}) {
        const ToolRun r = runTool(bad, file("record"));
        EXPECT_NE(r.status, 0);
        EXPECT_TRUE(r.record.isEmpty()) << r.record.toStdString();
        EXPECT_FALSE(QFile::exists(file("x.mp3")));
        const QString last = QString::fromUtf8(r.console.trimmed().split('\n').last());
        EXPECT_TRUE(last.contains(QLatin1String("No such file")) || last.contains(QLatin1String("invalid")))
            << last.toStdString();
    }
}

} // namespace
