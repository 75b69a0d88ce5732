#include "convert/CommandBuilder.h"
#include "TestSupport.h"
#include "convert/CommandLineSplit.h"

#include <gtest/gtest.h>

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

struct TemplateCase
{
    int format;
    const char* line;
};

class EveryFormat : public ::testing::TestWithParam<TemplateCase>
{};

TEST_P(EveryFormat, LineMatchesItsTemplateCharacterForCharacter)
{
    EXPECT_EQ(BuildCommandLine(liveSet(GetParam().format)), QByteArray(GetParam().line));
}

INSTANTIATE_TEST_SUITE_P(
    Templates, EveryFormat,
    ::testing::Values(
        TemplateCase{
            0, R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn -ab 192k -ar 44100 -ac 2 "/out/live.set.mp3")"},
        TemplateCase{
            1,
            R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn -acodec wmav1 -ab 192k -ar 44100 -ac 2 "/out/live.set.wma")"},
        TemplateCase{2, R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn -ac 2 "/out/live.set.ogg")"},
        TemplateCase{3, R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn -acodec pcm_s16le "/out/live.set.wav")"},
        TemplateCase{4, R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn "/out/live.set.flac")"},
        TemplateCase{5, R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn "/out/live.set.ac3")"},
        TemplateCase{6, R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn "/out/live.set.aac")"},
        TemplateCase{
            7, R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn -ar 8000 -ab 7.4k -ac 1 "/out/live.set.amr")"},
        TemplateCase{8, R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn -ab 192k -ac 2 "/out/live.set.opus")"},
        TemplateCase{
            9, R"(/app/data/conv.exe -i "/music/live.set.wav" -y -vn -ab 192k -ar 44100 -ac 2 "/out/live.set.m4a")"}),
    [](const ::testing::TestParamInfo<TemplateCase>& info) { return "Format" + std::to_string(info.param.format); });

TEST(CommandBuilder, CutterArgumentsFollowTheInputExactlyAsStored)
{
    Request r = liveSet(2);
    r.options.MusicCutter = 1;
    r.options.CutFrom = 30;
    r.options.CutDuration = 60;
    EXPECT_EQ(BuildCommandLine(r),
              R"(/app/data/conv.exe -i "/music/live.set.wav" -ss 30 -t 60 -y -vn -ac 2 "/out/live.set.ogg")");
    r.options.CutFrom = 0;
    r.options.CutDuration = 0;
    EXPECT_TRUE(BuildCommandLine(r).contains(R"(" -ss 0 -t 0 -y -vn )"));
    r.options.MusicCutter = 0;
    EXPECT_FALSE(BuildCommandLine(r).contains("-ss"));
}

TEST(CommandBuilder, SelectorsCountOnlyForMp3AndWma)
{
    Request r = liveSet(0);
    r.bitrate = QStringLiteral("320");
    r.sampleRate = QStringLiteral("12050");
    r.channelIndex = 0;
    EXPECT_TRUE(BuildCommandLine(r).contains(" -ab 320k -ar 12050 -ac 1 "));
    r.bitrate.clear();
    EXPECT_TRUE(BuildCommandLine(r).contains(" -ab k -ar "));
    Request amr = liveSet(7);
    const QByteArray before = BuildCommandLine(amr);
    amr.bitrate = QStringLiteral("32");
    amr.sampleRate = QStringLiteral("48000");
    amr.channelIndex = 0;
    EXPECT_EQ(BuildCommandLine(amr), before);
}

TEST(CommandBuilder, FormatOutsideTheListGivesAnEmptyLine)
{
    EXPECT_TRUE(BuildCommandLine(liveSet(-1)).isEmpty());
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
    EXPECT_TRUE(BuildCommandLine(r).endsWith(R"( -ac 2 "/out/a.c (2).mp3")"));
    r.programFolder = QStringLiteral("/");
    EXPECT_TRUE(BuildCommandLine(r).startsWith("/data/conv.exe -i "));
}

TEST(CommandBuilder, AwkwardPathsSurviveTheRunnersSplit)
{
    Request r = liveSet(0);
    r.programFolder = QStringLiteral("/home/ann/My Apps");
    r.inputPath = QStringLiteral(R"(/music/say "hi"\ \\ $(id).wav)");
    r.outputFolder = QStringLiteral(R"(/out\dir\)");
    const QList<QByteArray> args = CommandLineSplit::split(BuildCommandLine(r));
    ASSERT_GE(args.size(), 4);
    EXPECT_EQ(args.first(), "/home/ann/My Apps/data/conv.exe");
    EXPECT_EQ(args[1], "-i");
    EXPECT_EQ(args[2], r.inputPath.toUtf8());
    EXPECT_EQ(args.last(), CommandBuilder::OutputPath(r).toUtf8());
    EXPECT_EQ(args.last(), R"(/out\dir\/say "hi"\ \\ $(id).mp3)");
}

} // namespace
