#include "convert/CommandBuilder.h"
#include "TestSupport.h"
#include "convert/CommandLineSplit.h"
#include "convert/FormatTraits.h"

#include <gtest/gtest.h>

using CommandBuilder::BuildArguments;
using CommandBuilder::BuildCommandLine;
using CommandBuilder::Request;

namespace {

Request liveSet(int format)
{
    Request r;
    r.programFolder = QStringLiteral("/app");
    r.inputPath = QStringLiteral("/music/live.set.wav");
    r.outputFolder = QStringLiteral("/out");
    r.formatIndex = format;
    r.bitrate = QStringLiteral("192");
    r.sampleRate = QStringLiteral("44100");
    r.channelIndex = 1;
    return r;
}

using Args = QList<QByteArray>;

// Where the words stand in the arguments, one after the other; -1 when they do not.
qsizetype indexOfRun(const Args& args, const Args& words)
{
    for (qsizetype i = 0; i + words.size() <= args.size(); ++i) {
        if (args.mid(i, words.size()) == words)
            return i;
    }
    return -1;
}

TEST(CommandBuilder, TheWorkedExamplesGiveTheToolTheseArgumentsInThisOrder)
{
    const Request mp3 = liveSet(0);
    EXPECT_EQ(BuildArguments(mp3), (Args{"/app/data/conv.exe", "-i", "/music/live.set.wav", "-y", "-vn", "-ab", "192k",
                                         "-ar", "44100", "-ac", "2", "/out/live.set.mp3"}));
    // Shown as one line, the paths quoted.
    EXPECT_EQ(BuildCommandLine(mp3),
              R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn -ab 192k -ar 44100 -ac 2 "/out/live.set.mp3")");

    Request ogg = liveSet(2);
    ogg.options.MusicCutter = 1;
    ogg.options.CutFrom = 30;
    ogg.options.CutDuration = 60;
    EXPECT_EQ(BuildArguments(ogg), (Args{"/app/data/conv.exe", "-i", "/music/live.set.wav", "-ss", "30", "-t", "60",
                                         "-y", "-vn", "-ac", "2", "/out/live.set.ogg"}));
}

TEST(CommandBuilder, EveryFormatGivesTheInputFirstTheOutputLastAndALineThatSplitsBackIntoTheArguments)
{
    for (int format = 0; format < FormatTraits::Count(); ++format) {
        const Request r = liveSet(format);
        const Args args = BuildArguments(r);
        ASSERT_GE(args.size(), 6) << format;
        EXPECT_EQ(args.mid(0, 5), (Args{"/app/data/conv.exe", "-i", "/music/live.set.wav", "-y", "-vn"})) << format;
        EXPECT_EQ(args.last(), CommandBuilder::OutputPath(r).toUtf8()) << format;
        EXPECT_TRUE(args.last().endsWith(CommandBuilder::Extension(format).toUtf8())) << format;
        EXPECT_FALSE(args.contains(QByteArray())) << format;
        EXPECT_EQ(CommandLineSplit::split(BuildCommandLine(r)), args) << format;
    }
}

TEST(CommandBuilder, CutterArgumentsFollowTheInputExactlyAsStored)
{
    Request r = liveSet(2);
    r.options.MusicCutter = 1;
    r.options.CutFrom = 0;
    r.options.CutDuration = 0;
    EXPECT_EQ(indexOfRun(BuildArguments(r), {"-ss", "0", "-t", "0", "-y", "-vn"}), 3);
    r.options.MusicCutter = 0;
    EXPECT_FALSE(BuildArguments(r).contains("-ss"));
    EXPECT_FALSE(BuildArguments(r).contains("-t"));
}

TEST(CommandBuilder, SelectorsCountOnlyForMp3AndWma)
{
    Request r = liveSet(0);
    r.bitrate = QStringLiteral("320");
    r.sampleRate = QStringLiteral("12050");
    r.channelIndex = 0;
    EXPECT_GE(indexOfRun(BuildArguments(r), {"-ab", "320k", "-ar", "12050", "-ac", "1"}), 0);
    r.bitrate.clear();
    EXPECT_GE(indexOfRun(BuildArguments(r), {"-ab", "k", "-ar"}), 0);
    Request amr = liveSet(7);
    const Args before = BuildArguments(amr);
    amr.bitrate = QStringLiteral("32");
    amr.sampleRate = QStringLiteral("48000");
    amr.channelIndex = 0;
    EXPECT_EQ(BuildArguments(amr), before);
}

TEST(CommandBuilder, FormatOutsideTheListGivesNoArgumentsAndAnEmptyLine)
{
    EXPECT_TRUE(BuildArguments(liveSet(-1)).isEmpty());
    EXPECT_TRUE(BuildArguments(liveSet(10)).isEmpty());
    EXPECT_TRUE(BuildCommandLine(liveSet(10)).isEmpty());
    EXPECT_TRUE(CommandBuilder::Extension(10).isEmpty());
}

TEST(CommandBuilder, OutputPathsFromFolderAndTheWholeName)
{
    Request r = liveSet(0);
    r.outputFolder = QStringLiteral("/out/");
    EXPECT_EQ(CommandBuilder::OutputPath(r), QStringLiteral("/out/live.set.mp3"));
    r.outputFolder.clear();
    EXPECT_EQ(CommandBuilder::OutputPath(r), QStringLiteral("/live.set.mp3"));
    r.outputFolder = QStringLiteral("/out");
    r.inputPath = QStringLiteral("/music/noext");
    EXPECT_EQ(CommandBuilder::OutputPath(r), QStringLiteral("/out/noext.mp3"));
    r.inputPath = QStringLiteral("/music/.x.mp3");
    EXPECT_EQ(CommandBuilder::OutputPath(r), QStringLiteral("/out/.x.mp3"));
    r.inputPath = QStringLiteral("/music/a.b.mp3");
    const QString first = CommandBuilder::OutputPath(r);
    r.inputPath = QStringLiteral("/music/a.c.wav");
    EXPECT_NE(CommandBuilder::OutputPath(r), first);
    r.outputPath = QStringLiteral("/out/a.c (2).mp3");
    EXPECT_EQ(BuildArguments(r).last(), "/out/a.c (2).mp3");
    r.programFolder = QStringLiteral("/");
    EXPECT_EQ(BuildArguments(r).first(), "/data/conv.exe");
}

TEST(CommandBuilder, AwkwardPathsReachTheToolAsTheyAreAndSurviveTheShownLinesSplit)
{
    Request r = liveSet(0);
    r.programFolder = QStringLiteral("/home/ann/My Apps");
    r.inputPath = QStringLiteral(R"(/music/say "hi"\ \\ $(id).wav)");
    r.outputFolder = QStringLiteral(R"(/out\dir\)");
    const Args args = BuildArguments(r);
    EXPECT_EQ(CommandLineSplit::split(BuildCommandLine(r)), args);
    ASSERT_GE(args.size(), 4);
    EXPECT_EQ(args.first(), "/home/ann/My Apps/data/conv.exe");
    EXPECT_EQ(args[1], "-i");
    EXPECT_EQ(args[2], r.inputPath.toUtf8());
    EXPECT_EQ(args.last(), CommandBuilder::OutputPath(r).toUtf8());
    EXPECT_EQ(args.last(), R"(/out\dir\/say "hi"\ \\ $(id).mp3)");
}

} // namespace
