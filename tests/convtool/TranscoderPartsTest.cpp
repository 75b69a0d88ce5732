// The pieces of the conversion tool that need no file: console lines, the encoder's settings chosen as
// FFmpeg chooses them, tags and cover pictures, part file names.
#include "ConsoleLines.h"
#include "FatName.h"
#include "Negotiate.h"
#include "NumberedName.h"
#include "PartName.h"
#include "Tags.h"
#include "ToolRecord.h"

#include <gtest/gtest.h>

namespace {

std::string describe(const AVChannelLayout& l)
{
    char text[64] = {};
    av_channel_layout_describe(&l, text, sizeof text);
    return text;
}

std::string chosenLayout(const char* encoder, const AVChannelLayout& in)
{
    AVChannelLayout out = Negotiate::Layout(avcodec_find_encoder_by_name(encoder), in);
    const std::string text = describe(out);
    av_channel_layout_uninit(&out);
    return text;
}

TEST(ConsoleLines, DurationAndStatsReadAsFfmpegWritesThem)
{
    EXPECT_EQ(ConsoleLines::Duration(205'400'000, 0, 1'411'200),
              "  Duration: 00:03:25.40, start: 0.000000, bitrate: 1411 kb/s\n");
    EXPECT_EQ(ConsoleLines::Duration(2'995'000, -1, 0), "  Duration: 00:00:03.00, bitrate: N/A\n") << "rounded";
    EXPECT_EQ(ConsoleLines::Duration(-1, -1, 0), "  Duration: N/A, bitrate: N/A\n");
    EXPECT_EQ(ConsoleLines::Clock(3'723'999'999, false), "01:02:03.99") << "progress is cut, not rounded";
    EXPECT_EQ(ConsoleLines::Clock(-5, false), "00:00:00.00");
    const std::string running = ConsoleLines::Stats(626'688, 39'180'000, 1.0, false);
    EXPECT_EQ(running, "size=     612kB time=00:00:39.18 bitrate= 128.0kbits/s speed=39.2x    \r");
    EXPECT_EQ(ConsoleLines::Stats(0, 0, 0, true).back(), '\n');
}

TEST(Negotiate, RatesLayoutsAndSampleFormatsAsFfmpegPicksThem)
{
    const AVCodec* ac3 = avcodec_find_encoder_by_name("ac3");
    const AVCodec* lame = avcodec_find_encoder_by_name("libmp3lame");
    const AVCodec* flac = avcodec_find_encoder_by_name("flac");
    const AVCodec* vorbis = avcodec_find_encoder_by_name("libvorbis");
    ASSERT_TRUE(ac3 && lame && flac && vorbis);
    EXPECT_EQ(Negotiate::SampleRate(ac3, 22050), 32000);
    EXPECT_EQ(Negotiate::SampleRate(ac3, 96000), 48000);
    EXPECT_EQ(Negotiate::SampleRate(ac3, 44100), 44100);
    EXPECT_EQ(Negotiate::SampleRate(lame, 96000), 48000);
    EXPECT_EQ(Negotiate::SampleRate(vorbis, 12345), 12345) << "an encoder without a list takes any rate";

    const AVChannelLayout l71 = AV_CHANNEL_LAYOUT_7POINT1;
    const AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
    const AVChannelLayout quad = AV_CHANNEL_LAYOUT_QUAD;
    EXPECT_EQ(chosenLayout("ac3", l71), "5.1(side)");
    EXPECT_EQ(chosenLayout("ac3", mono), "mono");
    EXPECT_EQ(chosenLayout("ac3", quad), "quad");
    EXPECT_EQ(chosenLayout("libmp3lame", l71), "stereo");
    EXPECT_EQ(chosenLayout("libmp3lame", quad), "stereo");
    EXPECT_EQ(chosenLayout("flac", l71), "7.1");

    EXPECT_EQ(Negotiate::SampleFormat(flac, AV_SAMPLE_FMT_S16), AV_SAMPLE_FMT_S16);
    EXPECT_EQ(Negotiate::SampleFormat(flac, AV_SAMPLE_FMT_FLTP), AV_SAMPLE_FMT_S32) << "as wide, not narrower";
    EXPECT_EQ(Negotiate::SampleFormat(flac, AV_SAMPLE_FMT_DBL), AV_SAMPLE_FMT_S32) << "else the widest narrower";
    EXPECT_EQ(Negotiate::SampleFormat(lame, AV_SAMPLE_FMT_S16), AV_SAMPLE_FMT_S16P) << "planar stands for packed";
    EXPECT_EQ(Negotiate::SampleFormat(lame, AV_SAMPLE_FMT_U8), AV_SAMPLE_FMT_S16P);
}

TEST(Negotiate, RatesTheEncoderPicksForARateItCannotTakeAndWhatAnMp3FrameHolds)
{
    const AVCodec* lame = avcodec_find_encoder_by_name("libmp3lame");
    const AVCodec* aac = avcodec_find_encoder_by_name("aac");
    const AVCodec* wma = avcodec_find_encoder_by_name("wmav1");
    ASSERT_TRUE(lame && aac && wma);
    EXPECT_EQ(Negotiate::SampleRate(lame, 12050), 12000);
    EXPECT_EQ(Negotiate::SampleRate(aac, 12050), 12000);
    EXPECT_EQ(Negotiate::SampleRate(wma, 12050), 12050) << "WMA lists no rates and plays any";

    // Headers as LAME writes them: MPEG-1 at 128 kbps, MPEG-2.5 at 64 kbps, MPEG-2 at 160 kbps.
    const uint8_t mpeg1[] = {0xFF, 0xFB, 0x90, 0x64};
    const uint8_t mpeg25[] = {0xFF, 0xE3, 0x80, 0xC4};
    const uint8_t mpeg2[] = {0xFF, 0xF3, 0xE0, 0x64};
    EXPECT_EQ(Negotiate::Mp3FrameBitRate(mpeg1, 4), 128000);
    EXPECT_EQ(Negotiate::Mp3FrameBitRate(mpeg25, 4), 64000);
    EXPECT_EQ(Negotiate::Mp3FrameBitRate(mpeg2, 4), 160000);
    const uint8_t layer2[] = {0xFF, 0xFD, 0x90, 0x64};
    const uint8_t id3[] = {'I', 'D', '3', 4};
    EXPECT_EQ(Negotiate::Mp3FrameBitRate(layer2, 4), 0);
    EXPECT_EQ(Negotiate::Mp3FrameBitRate(id3, 4), 0);
    EXPECT_EQ(Negotiate::Mp3FrameBitRate(mpeg1, 3), 0);
}

TEST(Tags, FileTagsWinAndTheOldEncodingIsLeftBehind)
{
    AVDictionary* file = nullptr;
    AVDictionary* stream = nullptr;
    av_dict_set(&file, "title", "From the file", 0);
    av_dict_set(&file, "encoder", "Lavf58", 0);
    av_dict_set(&file, "major_brand", "M4A ", 0);
    av_dict_set(&stream, "TITLE", "From the stream", 0);
    av_dict_set(&stream, "ARTIST", "The Killers", 0);
    av_dict_set(&stream, "iTunSMPB", "00000000 00000210", 0);
    AVDictionary* tags = Tags::Collect(file, stream);
    EXPECT_STREQ(av_dict_get(tags, "title", nullptr, 0)->value, "From the file");
    EXPECT_STREQ(av_dict_get(tags, "artist", nullptr, 0)->value, "The Killers");
    EXPECT_EQ(av_dict_get(tags, "encoder", nullptr, 0), nullptr);
    EXPECT_EQ(av_dict_get(tags, "major_brand", nullptr, 0), nullptr);
    EXPECT_EQ(av_dict_get(tags, "itunsmpb", nullptr, 0), nullptr);
    EXPECT_EQ(av_dict_count(tags), 2);
    av_dict_free(&tags);
    av_dict_free(&file);
    av_dict_free(&stream);
}

TEST(Tags, PictureBlockIsFlacsLayoutAndOggsBase64)
{
    Tags::Picture p;
    p.mime = "image/png";
    p.description = "cover";
    p.width = 64;
    p.height = 48;
    p.depth = 24;
    p.data = std::string("\x89PNG", 4);
    const std::string block = Tags::PictureBlock(p);
    const std::string expected = std::string("\0\0\0\3", 4) + std::string("\0\0\0\x09", 4) + "image/png" +
                                 std::string("\0\0\0\x05", 4) + "cover" + std::string("\0\0\0\x40", 4) +
                                 std::string("\0\0\0\x30", 4) + std::string("\0\0\0\x18", 4) +
                                 std::string("\0\0\0\0", 4) + std::string("\0\0\0\x04", 4) + "\x89PNG";
    EXPECT_EQ(block, expected);
    EXPECT_EQ(Tags::Base64("Man"), "TWFu");
    EXPECT_EQ(Tags::Base64("Ma"), "TWE=");
    EXPECT_EQ(Tags::PictureType("Cover (front)"), 3u);
    EXPECT_EQ(Tags::PictureType("cover (back)"), 4u);
    EXPECT_EQ(Tags::PictureType("Other"), 0u);
    EXPECT_EQ(Tags::PictureType(nullptr), 3u);
    EXPECT_EQ(Tags::PictureMime(AV_CODEC_ID_MJPEG), "image/jpeg");
    EXPECT_EQ(Tags::PictureMime(AV_CODEC_ID_H264), "");
}

TEST(PartName, HiddenBesideTheOutputNamedForItsToolAndNeverTooLongForTheFileSystem)
{
    EXPECT_EQ(PartName::Prefix("01. Jenny.mp3", 4242), ".01. Jenny.mp3.part-4242-");
    const std::string longName = std::string(240, 'a') + ".mp3";
    for (long pid : {7L, 4242L, 4194304L}) {
        const std::string prefix = PartName::Prefix(longName, pid);
        EXPECT_EQ(prefix.size() + PartName::kRandom, PartName::kMaxName) << pid;
        EXPECT_TRUE(PartName::IsPartOf(prefix + "Ab12Cd", pid)) << pid;
    }
    // Cut before a two-byte character rather than through it (237 bytes of name fit with pid 4242).
    const std::string accented = std::string(236, 'a') + "\xC3\xA9.mp3";
    EXPECT_EQ(PartName::Prefix(accented, 4242), "." + std::string(236, 'a') + ".part-4242-");

    // Only the part files of one tool: not another pid's, not a longer pid that ends alike, not the output.
    EXPECT_TRUE(PartName::IsPartOf(".a.mp3.part-42-xYz123", 42));
    EXPECT_TRUE(PartName::IsPartOf(".a\nb\xFF.mp3.part-42-xYz123", 42));
    EXPECT_FALSE(PartName::IsPartOf(".a.mp3.part-142-xYz123", 42));
    EXPECT_FALSE(PartName::IsPartOf(".a.mp3.part-42-xYz12", 42));
    EXPECT_FALSE(PartName::IsPartOf("a.mp3.part-42-xYz123", 42));
    EXPECT_FALSE(PartName::IsPartOf(".a.mp3.part-xYz123", 42));
}

TEST(ToolRecord, NameAndEndLinesReadBackAndAnythingElseIsIgnored)
{
    for (int counter : {1, 2, 10000}) {
        for (bool mapped : {false, true}) {
            const std::string line = ToolRecord::NameLine(counter, mapped);
            ASSERT_EQ(line.back(), '\n');
            const auto e = ToolRecord::Parse(std::string_view(line).substr(0, line.size() - 1));
            ASSERT_TRUE(e.has_value()) << line;
            EXPECT_EQ(e->kind, ToolRecord::Entry::Kind::Name);
            EXPECT_EQ(e->counter, counter);
            EXPECT_EQ(e->mapped, mapped);
        }
    }
    EXPECT_EQ(ToolRecord::NameLine(3, true), "name 3 1\n");
    const auto end = ToolRecord::Parse("end 1");
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->kind, ToolRecord::Entry::Kind::End);
    EXPECT_EQ(end->status, 1);
    for (const char* other : {"", "name", "name 2", "name 0 0", "name 2 2", "name -2 0", "name 2 0 extra", "name x 0",
                              "name 99999999999 0", "end", "end x", "progress 50", "NAME 2 0"})
        EXPECT_FALSE(ToolRecord::Parse(other).has_value()) << other;
}

TEST(FatName, RefusedCharactersBecomeUnderscoresAndTrailingDotsAndSpacesGo)
{
    EXPECT_FALSE(FatName::NeedsMapping("01. Jenny.mp3"));
    EXPECT_FALSE(FatName::NeedsMapping("caf\xC3\xA9 \xFF.mp3")); // bytes above ASCII are the stick's to judge
    EXPECT_EQ(FatName::Map("R: Live? \"Best\" <1|2> *\\.mp3"), "R_ Live_ _Best_ _1_2_ __.mp3");
    EXPECT_EQ(FatName::Map(std::string("a\tb\nc\x7F.ogg")), "a_b_c_.ogg");
    EXPECT_TRUE(FatName::NeedsMapping("name. "));
    EXPECT_EQ(FatName::Map("name. "), "name");
    EXPECT_EQ(FatName::Map(". ."), "_");
}

TEST(NumberedName, TheCounterGoesBeforeTheLastExtension)
{
    EXPECT_EQ(NumberedName("track01.mp3", 2), "track01 (2).mp3");
    EXPECT_EQ(NumberedName("01. Jenny.mp3", 12), "01. Jenny (12).mp3");
    EXPECT_EQ(NumberedName("noext", 3), "noext (3)");
    EXPECT_EQ(NumberedName(".hidden", 2), ".hidden (2)");
}

} // namespace
