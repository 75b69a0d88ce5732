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
