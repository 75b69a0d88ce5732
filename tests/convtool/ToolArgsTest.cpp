#include "ToolArgs.h"

#include <gtest/gtest.h>

using namespace ToolArgs;

namespace {

TEST(ToolArgs, ReadsTheCommandLinesTheProgramWrites)
{
    const Parsed amr = Parse({"-i", "/m/a b.wav", "-ss", "30", "-t", "60", "-y", "-vn", "-ar", "8000", "-ab", "7.4k",
                              "-ac", "1", "/out/a.AMR"});
    EXPECT_EQ(amr.input, "/m/a b.wav");
    EXPECT_EQ(amr.start, "30");
    EXPECT_EQ(amr.length, "60");
    EXPECT_EQ(amr.bitrate, "7.4k");
    EXPECT_EQ(amr.output, "/out/a.AMR");
    EXPECT_TRUE(amr.overwrite);
    EXPECT_TRUE(WantsAmr(amr));
    const Parsed mp3 = Parse({"-i", "/m/x.amr", "-y", "-vn", "-ab", "192k", "-ar", "44100", "-ac", "2", "/out/x.mp3"});
    EXPECT_FALSE(WantsAmr(mp3)) << "an AMR input is not an AMR output";
    EXPECT_FALSE(mp3.start.size());
    EXPECT_FALSE(Parse({"-i", "in.wav", "-y"}).overwrite == false);
    EXPECT_TRUE(amr.ownInterface);
    const Parsed wma = Parse(
        {"-i", "/m/a.wav", "-y", "-vn", "-acodec", "wmav1", "-ab", "192k", "-ar", "44100", "-ac", "2", "/o/a.wma"});
    EXPECT_TRUE(wma.ownInterface);
    EXPECT_EQ(wma.codec, "wmav1");
    EXPECT_EQ(wma.sampleRate, "44100");
    EXPECT_EQ(wma.channels, "2");
}

TEST(ToolArgs, AnythingElseIsLeftToFfmpegItself)
{
    EXPECT_FALSE(Parse({"-i", "a.wav", "-af", "volume=2", "b.mp3"}).ownInterface);
    EXPECT_FALSE(Parse({"-i", "a.wav", "-f", "mp3", "-"}).ownInterface);
    EXPECT_FALSE(Parse({"-i", "a.wav", "-i", "b.wav", "c.mp3"}).ownInterface);
    EXPECT_FALSE(Parse({"-i", "a.wav", "-acodec", "copy", "b.wav"}).ownInterface);
    EXPECT_FALSE(Parse({"-i", "a.wav", "b.mp3", "-y"}).ownInterface) << "the output comes last";
    EXPECT_FALSE(Parse({"-i", "a.wav"}).ownInterface);
    EXPECT_FALSE(Parse({"-hide_banner", "-i", "a.wav", "b.mp3"}).ownInterface);
    EXPECT_FALSE(Parse({"b.mp3"}).ownInterface);
    // A global tag is our own; one without a name, or a stream's, is FFmpeg's.
    const Parsed tagged =
        Parse({"-i", "a.flac", "-range", "0-588", "-metadata", "title=A=B", "-metadata", "genre=", "b.mp3"});
    EXPECT_TRUE(tagged.ownInterface);
    EXPECT_EQ(tagged.metadata, (std::vector<std::pair<std::string, std::string>>{{"title", "A=B"}, {"genre", ""}}));
    EXPECT_FALSE(Parse({"-i", "a.wav", "-metadata", "=x", "b.mp3"}).ownInterface);
    EXPECT_FALSE(Parse({"-i", "a.wav", "-metadata", "notag", "b.mp3"}).ownInterface);
    EXPECT_FALSE(Parse({"-i", "a.wav", "-metadata:s:a", "title=x", "b.mp3"}).ownInterface);
}

TEST(ToolArgs, AGainGainTagsAndAnAnalysisAreTheToolsOwnOtherFiltersAndTagsFfmpegs)
{
    const Parsed p = Parse({"-i", "a.flac", "-af", "volume=-6.52dB", "-metadata", "REPLAYGAIN_TRACK_GAIN=-1.00 dB",
                            "-metadata", "REPLAYGAIN_TRACK_GAIN=-6.52 dB", "-analyse", "true_peak", "b.mp3"});
    EXPECT_TRUE(p.ownInterface);
    EXPECT_DOUBLE_EQ(*p.gainDb, -6.52);
    EXPECT_EQ(p.gainTags, (std::vector<std::pair<std::string, std::string>>{{"REPLAYGAIN_TRACK_GAIN", "-6.52 dB"}}));
    EXPECT_EQ(p.analyse, "true_peak");
    for (const char* filter : {"volume=3dB,aresample=48000", "volume=2", "volume=+3dB", "volume=1e1dB"})
        EXPECT_FALSE(Parse({"-i", "a.wav", "-af", filter, "b.mp3"}).ownInterface) << filter;
    for (const char* tag : {"=x", "REPLAYGAIN_TRACK_GAIN"})
        EXPECT_FALSE(Parse({"-i", "a.wav", "-metadata", tag, "b.mp3"}).ownInterface) << tag;
    // Any other key is a track's tag, over the input's own.
    const Parsed titled = Parse({"-i", "a.wav", "-metadata", "title=x", "b.mp3"});
    EXPECT_TRUE(titled.ownInterface);
    EXPECT_TRUE(titled.gainTags.empty());
    EXPECT_EQ(titled.metadata, (std::vector<std::pair<std::string, std::string>>{{"title", "x"}}));
}

TEST(ToolArgs, RatesAndCountsRead)
{
    EXPECT_EQ(BitRate("192k"), 192000);
    EXPECT_EQ(BitRate("7.4k"), 7400);
    EXPECT_EQ(BitRate("1.5M"), 1500000);
    EXPECT_EQ(BitRate("64000"), 64000);
    EXPECT_FALSE(BitRate("k"));
    EXPECT_FALSE(BitRate("-5k"));
    EXPECT_FALSE(BitRate("12kbit"));
    EXPECT_EQ(PositiveInt("44100"), 44100);
    EXPECT_FALSE(PositiveInt("0"));
    EXPECT_FALSE(PositiveInt("-2"));
    EXPECT_FALSE(PositiveInt("2.0"));
    EXPECT_FALSE(PositiveInt("9999999999"));
}

TEST(ToolArgs, EveryAmrNbRateNamesItsModeAndOthersNone)
{
    const char* rates[] = {"4.75k", "5.15k", "5.9k", "6.7k", "7.4k", "7.95k", "10.2k", "12.2k"};
    for (int mode = 0; mode < 8; ++mode)
        EXPECT_EQ(AmrMode(rates[mode]), mode) << rates[mode];
    EXPECT_EQ(AmrMode("7400"), 4);
    EXPECT_EQ(AmrMode("12.20k"), 7);
    EXPECT_FALSE(AmrMode("9.6k"));
    EXPECT_FALSE(AmrMode("192k"));
    EXPECT_FALSE(AmrMode("k"));
    EXPECT_FALSE(AmrMode("7.4kbit"));
    EXPECT_FALSE(AmrMode(""));
}

} // namespace
