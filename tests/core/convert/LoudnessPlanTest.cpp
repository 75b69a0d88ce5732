// The batch's loudness plan: albums from tags or folders, the gains and tags each mode gives, the
// ceiling, and the record lines it is read from.
#include "convert/LoudnessPlan.h"
#include "AlbumLoudness.h"
#include "convert/CommandBuilder.h"

#include <gtest/gtest.h>

namespace {

using LoudnessPlan::File;
using Kind = ToolRecord::Loudness::Kind;

// A file whose every block has one loudness: its integrated loudness is that figure.
File flat(const QString& input, double lufs, double samplePeak, double truePeak, QHash<QString, QString> tags = {},
          int blocks = 50)
{
    File f{input, {}};
    f.analysis.blocks.assign(size_t(blocks), lufs);
    f.analysis.loudness = ToolRecord::Loudness{Kind::Measured, lufs, samplePeak, truePeak, size_t(blocks)};
    f.analysis.tags = std::move(tags);
    return f;
}

File unmeasured(const QString& input, Kind kind)
{
    File f{input, {}};
    f.analysis.loudness = ToolRecord::Loudness{kind, 0, 0, std::nullopt, 0};
    return f;
}

QByteArray tag(const LoudnessPlan::FileGain& g, const char* key)
{
    for (const auto& [k, v] : g.tags) {
        if (k == key)
            return v;
    }
    return {};
}

TEST(LoudnessPlan, AnAlbumIsItsTagsWhereverItsFilesAreAndItsFolderWithoutThem)
{
    using LoudnessPlan::AlbumKey;
    const QHash<QString, QString> tagged = {{"album", "Blue"}, {"artist", "Nora"}};
    // CD1 and CD2 folders of one album are one album; case and spaces around a tag do not part them.
    EXPECT_EQ(AlbumKey("/m/Blue/CD1/01.flac", tagged),
              AlbumKey("/m/Blue/CD2/01.flac", {{"album", " blue "}, {"artist", "NORA"}}));
    // The album artist comes before the track's artist: a compilation stays one album.
    EXPECT_EQ(AlbumKey("/m/a.flac", {{"album", "Hits"}, {"album_artist", "Various"}, {"artist", "One"}}),
              AlbumKey("/m/b.flac", {{"album", "Hits"}, {"album_artist", "Various"}, {"artist", "Two"}}));
    EXPECT_NE(AlbumKey("/m/a.flac", {{"album", "Hits"}, {"artist", "One"}}),
              AlbumKey("/m/b.flac", {{"album", "Hits"}, {"artist", "Two"}}));
    // Without an album tag: the folder, whatever else the tags say.
    EXPECT_EQ(AlbumKey("/m/x/a.flac", {{"artist", "One"}}), AlbumKey("/m/x/b.flac", {}));
    EXPECT_NE(AlbumKey("/m/x/a.flac", {}), AlbumKey("/m/y/a.flac", {}));
    EXPECT_NE(AlbumKey("/m/x/a.flac", tagged), AlbumKey("/m/x/b.flac", {}));
}

TEST(LoudnessPlan, TagsLeaveTheAudioAndGiveTrackAndAlbumGainsFromTheBlocks)
{
    const QList<File> files = {flat("/m/a/loud.flac", -12, 0.9, 0.95), flat("/m/a/quiet.flac", -32, 0.09, 0.1),
                               flat("/m/b/alone.flac", -20, 0.5, 0.5)};
    const auto plan = LoudnessPlan::Plan(LoudnessPlan::Tags, files);
    ASSERT_EQ(plan.size(), 3);
    const auto& loud = plan["/m/a/loud.flac"];
    const auto& quiet = plan["/m/a/quiet.flac"];
    EXPECT_FALSE(loud.gainDb || quiet.gainDb);
    EXPECT_EQ(tag(loud, "REPLAYGAIN_TRACK_GAIN"), "-6.00 dB");
    EXPECT_EQ(tag(quiet, "REPLAYGAIN_TRACK_GAIN"), "14.00 dB");
    EXPECT_EQ(tag(loud, "REPLAYGAIN_TRACK_PEAK"), "0.900000");
    // The quiet file's blocks fall under the album's relative gate: the album is as loud as the loud one.
    EXPECT_EQ(tag(loud, "REPLAYGAIN_ALBUM_GAIN"), "-6.00 dB");
    EXPECT_EQ(tag(quiet, "REPLAYGAIN_ALBUM_GAIN"), "-6.00 dB");
    EXPECT_EQ(tag(quiet, "REPLAYGAIN_ALBUM_PEAK"), "0.900000");
    EXPECT_EQ(tag(plan["/m/b/alone.flac"], "REPLAYGAIN_ALBUM_GAIN"), "2.00 dB") << "a lone file is its own album";
    EXPECT_EQ(loud.note, "-6.0 dB");
    EXPECT_EQ(quiet.note, "+14.0 dB");
}

TEST(LoudnessPlan, EvenOutReachesTheTargetUnderTheCeilingAndTagsWhatIsLeft)
{
    // Quiet and peaky: +14 dB would take a true peak of 0.5 to +8 dBTP; the gain stops at -1 dBTP.
    const QList<File> files = {flat("/m/a/loud.flac", -12, 0.5, 0.5), flat("/m/a/peaky.flac", -32, 0.45, 0.5)};
    const auto track = LoudnessPlan::Plan(LoudnessPlan::Track, files);
    ASSERT_TRUE(track["/m/a/loud.flac"].gainDb && track["/m/a/peaky.flac"].gainDb);
    EXPECT_NEAR(*track["/m/a/loud.flac"].gainDb, -6.0, 1e-9);
    const double ceiling = -1 - 20 * std::log10(0.5);
    EXPECT_NEAR(*track["/m/a/peaky.flac"].gainDb, ceiling, 1e-9);
    EXPECT_EQ(tag(track["/m/a/loud.flac"], "REPLAYGAIN_TRACK_GAIN"), "0.00 dB");
    EXPECT_EQ(tag(track["/m/a/peaky.flac"], "REPLAYGAIN_TRACK_GAIN"), QByteArray::number(14 - ceiling, 'f', 2) + " dB");
    EXPECT_EQ(tag(track["/m/a/peaky.flac"], "REPLAYGAIN_TRACK_PEAK"),
              QByteArray::number(0.45 * std::pow(10, ceiling / 20), 'f', 6));
    EXPECT_TRUE(track["/m/a/peaky.flac"].note.contains("lowered")) << track["/m/a/peaky.flac"].note.toStdString();
    EXPECT_FALSE(track["/m/a/loud.flac"].note.contains("lowered"));

    // By album: one gain for both, so the 20 LU between them stay; the loud file's peak sets no limit
    // at -6 dB.
    const auto album = LoudnessPlan::Plan(LoudnessPlan::Album, files);
    ASSERT_TRUE(album["/m/a/loud.flac"].gainDb && album["/m/a/peaky.flac"].gainDb);
    EXPECT_NEAR(*album["/m/a/loud.flac"].gainDb, -6.0, 1e-9);
    EXPECT_NEAR(*album["/m/a/peaky.flac"].gainDb, -6.0, 1e-9);
    EXPECT_EQ(tag(album["/m/a/peaky.flac"], "REPLAYGAIN_TRACK_GAIN"), "20.00 dB");
    EXPECT_EQ(tag(album["/m/a/peaky.flac"], "REPLAYGAIN_ALBUM_GAIN"), "0.00 dB");

    // An album whose loudest peak cannot take the gain is lowered as a whole.
    const auto limited = LoudnessPlan::Plan(LoudnessPlan::Album,
                                            {flat("/m/c/1.flac", -30, 0.7, 0.8), flat("/m/c/2.flac", -40, 0.1, 0.1)});
    const double albumCeiling = -1 - 20 * std::log10(0.8);
    EXPECT_NEAR(*limited["/m/c/1.flac"].gainDb, albumCeiling, 1e-9);
    EXPECT_NEAR(*limited["/m/c/2.flac"].gainDb, albumCeiling, 1e-9);
    EXPECT_TRUE(limited["/m/c/2.flac"].note.contains("lowered"));
}

TEST(LoudnessPlan, ASilentOrShortFileGetsNoGainNoTagsAndAReasonAndLeavesItsAlbumAlone)
{
    const QList<File> files = {flat("/m/a/one.flac", -20, 0.5, 0.5), unmeasured("/m/a/silence.wav", Kind::Silent),
                               unmeasured("/m/a/blip.flac", Kind::Short)};
    for (auto mode : {LoudnessPlan::Tags, LoudnessPlan::Track, LoudnessPlan::Album}) {
        const auto plan = LoudnessPlan::Plan(mode, files);
        for (const char* none : {"/m/a/silence.wav", "/m/a/blip.flac"}) {
            EXPECT_FALSE(plan[none].gainDb) << none;
            EXPECT_TRUE(plan[none].tags.isEmpty()) << none;
            EXPECT_TRUE(plan[none].note.startsWith("no gain: ")) << none;
        }
        EXPECT_TRUE(plan["/m/a/silence.wav"].note.contains("-70 LUFS"));
        EXPECT_TRUE(plan["/m/a/blip.flac"].note.contains("0.4 s"));
        // The album is its one measured file: 2 dB to go, or nothing left once evened out.
        EXPECT_EQ(tag(plan["/m/a/one.flac"], "REPLAYGAIN_ALBUM_GAIN"),
                  mode == LoudnessPlan::Tags ? "2.00 dB" : "0.00 dB")
            << mode;
    }
}

TEST(LoudnessPlan, TheAnalysisIsReadFromItsRecordLinesTagsIncluded)
{
    const std::vector<double> blocks(150, -20.0);
    ToolRecord::Loudness l{Kind::Measured, -20, 0.5, 0.6, blocks.size()};
    QList<QByteArray> lines;
    const std::string text = ToolRecord::TagLine("ALBUM", "Two words\nand 100% \xff") +
                             ToolRecord::TagLine("artist", "Nora") +
                             ToolRecord::TagLine("lyrics", std::string(2000, 'x')) + "name 1 0\n" +
                             ToolRecord::BlocksLines(blocks) + "future line\n" + ToolRecord::LoudnessLine(l);
    for (const QByteArray& line : QByteArray::fromStdString(text).split('\n')) {
        if (!line.isEmpty())
            lines.append(line);
    }
    const LoudnessPlan::Analysis a = LoudnessPlan::Read(lines);
    EXPECT_TRUE(a.complete());
    EXPECT_EQ(a.blocks.size(), 150u);
    EXPECT_EQ(a.tags.value("album"), QString::fromUtf8("Two words\nand 100% \xff"));
    EXPECT_EQ(a.tags.value("artist"), "Nora");
    EXPECT_FALSE(a.tags.contains("lyrics")) << "a value past the limit is not sent";
    ASSERT_TRUE(a.loudness && a.loudness->truePeak);
    EXPECT_DOUBLE_EQ(*a.loudness->truePeak, 0.6);

    // A record cut before its last block line, or before its loudness line, is no result.
    lines.removeAt(lines.size() - 3);
    EXPECT_FALSE(LoudnessPlan::Read(lines).complete());
    EXPECT_FALSE(LoudnessPlan::Read(lines.mid(0, 2)).complete());
    for (const char* bad : {"tag album", "tag  x", "tag album %4", "tag album %zz", "tag %41 b c"})
        EXPECT_FALSE(ToolRecord::ParseTag(bad)) << bad;
}

TEST(LoudnessPlan, TheGainAndTagsReachTheToolBeforeTheOutputAndTheAnalysisTakesTheCut)
{
    CommandBuilder::Request r;
    r.programFolder = "/p";
    r.inputPath = "/m/a.flac";
    r.outputFolder = "/o";
    r.formatIndex = 0;
    r.bitrate = "192";
    r.sampleRate = "44100";
    r.options.MusicCutter = 1;
    r.options.CutFrom = 5;
    r.options.CutDuration = 60;
    r.gainDb = -6.523;
    r.gainTags = {{"REPLAYGAIN_TRACK_GAIN", "0.00 dB"}};
    const QList<QByteArray> args = CommandBuilder::BuildArguments(r);
    ASSERT_GE(args.size(), 6);
    EXPECT_EQ(args.mid(args.size() - 5),
              (QList<QByteArray>{"-af", "volume=-6.52dB", "-metadata", "REPLAYGAIN_TRACK_GAIN=0.00 dB", "/o/a.mp3"}));
    const QList<QByteArray> analysis = CommandBuilder::BuildAnalysisArguments(r, "true_peak");
    EXPECT_FALSE(analysis.contains("-af") || analysis.contains("-metadata"));
    EXPECT_EQ(analysis.mid(analysis.size() - 3), (QList<QByteArray>{"-analyse", "true_peak", "/o/a.mp3"}));
    EXPECT_TRUE(analysis.contains("-ss") && analysis.contains("-t") && analysis.contains("-ar"));
}

} // namespace
