// The loudness pieces that need no file: the meter and the album's gating against libebur128 itself,
// the record lines that carry them, and the gain.
#include "AlbumLoudness.h"
#include "Gain.h"
#include "LoudnessMeter.h"
#include "ToolRecord.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <gtest/gtest.h>
#include <random>

namespace {

constexpr int kRate = 44100;

// Stereo noise at a level (dBFS), with a stretch of silence in the middle when asked.
std::vector<float> noise(double seconds, double db, unsigned seed, bool silentMiddle = false)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> sample(-1, 1);
    const float scale = float(std::pow(10.0, db / 20.0));
    const size_t frames = size_t(seconds * kRate);
    std::vector<float> s(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const bool quiet = silentMiddle && i > frames / 3 && i < 2 * frames / 3;
        s[2 * i] = quiet ? 0 : sample(random) * scale;
        s[2 * i + 1] = quiet ? 0 : sample(random) * scale;
    }
    return s;
}

Resampler::Format stereoFloats()
{
    Resampler::Format f;
    f.rate = kRate;
    av_channel_layout_default(&f.layout, 2);
    f.sampleFormat = AV_SAMPLE_FMT_FLT;
    return f;
}

// Odd pieces, as frames arrive from a decoder.
void feed(LoudnessMeter& meter, const std::vector<float>& s)
{
    const int64_t frames = int64_t(s.size() / 2);
    for (int64_t at = 0, piece = 1; at < frames; at += piece, piece = piece * 7 % 10007 + 1)
        meter.Add(s.data() + 2 * at, std::min(piece, frames - at));
}

TEST(AlbumLoudness, TheGatingOverTheTracksBlocksIsLibebur128sOwnFigure)
{
    const std::vector<std::vector<float>> tracks = {noise(12, -20, 1), noise(9, -38, 2), noise(15, -26, 3, true),
                                                    noise(0.3, -10, 4)};
    std::vector<std::vector<double>> blocks;
    std::vector<std::vector<double>> fromLines;
    std::vector<ebur128_state*> states;
    double meanOfTracks = 0;
    for (size_t t = 0; t < tracks.size(); ++t) {
        LoudnessMeter meter(stereoFloats(), false);
        feed(meter, tracks[t]);
        blocks.push_back(meter.blocks());
        const ToolRecord::Loudness result = meter.Result();
        // Through the record lines, as the program reads them.
        std::vector<double> read;
        const std::string lines = ToolRecord::BlocksLines(meter.blocks());
        for (size_t at = 0, end; (end = lines.find('\n', at)) != std::string::npos; at = end + 1)
            ASSERT_TRUE(ToolRecord::ParseBlocks(std::string_view(lines).substr(at, end - at), read));
        EXPECT_EQ(read.size(), result.blocks);
        fromLines.push_back(read);

        states.push_back(ebur128_init(2, kRate, EBUR128_MODE_I));
        ebur128_add_frames_float(states.back(), tracks[t].data(), tracks[t].size() / 2);
        double own = 0;
        ebur128_loudness_global(states.back(), &own);
        if (t == 3) {
            EXPECT_EQ(result.kind, ToolRecord::Loudness::Kind::Short);
            EXPECT_FALSE(AlbumLoudness::Of({blocks.back()}));
            continue;
        }
        ASSERT_EQ(result.kind, ToolRecord::Loudness::Kind::Measured);
        EXPECT_DOUBLE_EQ(result.integrated, own);
        meanOfTracks += own / 3;
        EXPECT_NEAR(*AlbumLoudness::Of({blocks.back()}), own, 1e-9) << "track " << t;
    }
    double album = 0;
    ebur128_loudness_global_multiple(states.data(), states.size(), &album);
    EXPECT_NEAR(*AlbumLoudness::Of(blocks), album, 1e-9);
    EXPECT_NEAR(*AlbumLoudness::Of(fromLines), album, 1e-4);
    // The quiet track sits below the loud ones' relative gate: a mean of the tracks would be far off.
    EXPECT_GT(*AlbumLoudness::Of(blocks), meanOfTracks + 3);
    for (ebur128_state*& s : states)
        ebur128_destroy(&s);

    LoudnessMeter silent(stereoFloats(), true);
    feed(silent, std::vector<float>(size_t(2 * kRate * 2), 0.0f));
    EXPECT_EQ(silent.Result().kind, ToolRecord::Loudness::Kind::Silent);
    EXPECT_FALSE(AlbumLoudness::Of({silent.blocks()}));
}

// The meter takes the samples the encoder would, of any sample format: each gives the figures of the
// same values given as floats, channel by channel.
TEST(LoudnessMeter, EverySampleFormatMeasuresAsItsFloats)
{
    Resampler::Format f;
    f.rate = 48000;
    av_channel_layout_from_mask(&f.layout, AV_CH_LAYOUT_5POINT1);
    const int channels = 6;
    // 16-bit values, which every format but U8 holds exactly; a different level per channel.
    std::mt19937 random(9);
    std::uniform_int_distribution<int> value(-32768, 32767);
    const size_t frames = size_t(f.rate) * 2;
    std::vector<int16_t> s16(frames * channels);
    for (size_t i = 0; i < s16.size(); ++i)
        s16[i] = int16_t(value(random) / int(1 + i % channels));
    std::vector<uint8_t> u8(s16.size());
    for (size_t i = 0; i < s16.size(); ++i)
        u8[i] = uint8_t((s16[i] >> 8) + 128);

    const auto measure = [&](AVSampleFormat format) {
        f.sampleFormat = format;
        LoudnessMeter meter(f, true);
        AVFrame* frame = av_frame_alloc();
        const size_t piece = 1000;
        for (size_t at = 0; at < frames; at += piece) {
            frame->format = format;
            frame->nb_samples = int(std::min(piece, frames - at));
            EXPECT_EQ(av_channel_layout_copy(&frame->ch_layout, &f.layout), 0);
            EXPECT_EQ(av_frame_get_buffer(frame, 0), 0);
            const bool planar = av_sample_fmt_is_planar(format);
            for (int n = 0; n < frame->nb_samples; ++n) {
                for (int c = 0; c < channels; ++c) {
                    const size_t from = (at + size_t(n)) * channels + size_t(c);
                    const size_t to = planar ? size_t(n) : size_t(n) * channels + size_t(c);
                    uint8_t* plane = frame->extended_data[planar ? c : 0];
                    const int16_t v = s16[from];
                    switch (av_get_packed_sample_fmt(format)) {
                    case AV_SAMPLE_FMT_U8:
                        plane[to] = u8[from];
                        break;
                    case AV_SAMPLE_FMT_S16:
                        reinterpret_cast<int16_t*>(plane)[to] = v;
                        break;
                    case AV_SAMPLE_FMT_S32:
                        reinterpret_cast<int32_t*>(plane)[to] = int32_t(v) * 65536;
                        break;
                    case AV_SAMPLE_FMT_FLT:
                        reinterpret_cast<float*>(plane)[to] = float(v) / 32768;
                        break;
                    default:
                        reinterpret_cast<double*>(plane)[to] = double(v) / 32768;
                        break;
                    }
                }
            }
            meter.Write(frame);
            av_frame_unref(frame);
        }
        av_frame_free(&frame);
        return std::make_pair(meter.Result(), meter.blocks());
    };

    // The reference: the same values as interleaved floats through Add.
    const auto reference = [&](bool fromU8) {
        f.sampleFormat = AV_SAMPLE_FMT_FLT;
        LoudnessMeter meter(f, true);
        std::vector<float> floats(s16.size());
        for (size_t i = 0; i < s16.size(); ++i)
            floats[i] = fromU8 ? float((double(u8[i]) - 128) / 128) : float(s16[i]) / 32768;
        meter.Add(floats.data(), int64_t(frames));
        return std::make_pair(meter.Result(), meter.blocks());
    };

    const auto expected = reference(false);
    const auto expectedU8 = reference(true);
    ASSERT_TRUE(expected.first.truePeak);
    EXPECT_GE(*expected.first.truePeak, expected.first.samplePeak);
    for (AVSampleFormat format :
         {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_S16P, AV_SAMPLE_FMT_S32, AV_SAMPLE_FMT_S32P, AV_SAMPLE_FMT_FLT,
          AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_DBL, AV_SAMPLE_FMT_DBLP, AV_SAMPLE_FMT_U8, AV_SAMPLE_FMT_U8P}) {
        const bool fromU8 = av_get_packed_sample_fmt(format) == AV_SAMPLE_FMT_U8;
        const auto got = measure(format);
        const auto& want = fromU8 ? expectedU8 : expected;
        const char* name = av_get_sample_fmt_name(format);
        EXPECT_EQ(got.first.integrated, want.first.integrated) << name;
        EXPECT_EQ(got.first.samplePeak, want.first.samplePeak) << name;
        EXPECT_EQ(got.first.truePeak, want.first.truePeak) << name;
        EXPECT_EQ(got.second, want.second) << name;
    }
    av_channel_layout_uninit(&f.layout);
}

TEST(ToolRecord, LoudnessLinesReadBackAndOlderReadersIgnoreThem)
{
    ToolRecord::Loudness l;
    l.integrated = -20.81864;
    l.samplePeak = 0.3035471;
    l.blocks = 97;
    EXPECT_EQ(ToolRecord::LoudnessLine(l), "loudness -20.8186 0.303547 - 97\n");
    l.kind = ToolRecord::Loudness::Kind::Short;
    l.truePeak = 1.25;
    EXPECT_EQ(ToolRecord::LoudnessLine(l), "loudness short 0.303547 1.250000 97\n");
    const auto back = ToolRecord::ParseLoudness("loudness silent 0.000000 0.000010 0");
    ASSERT_TRUE(back);
    EXPECT_EQ(back->kind, ToolRecord::Loudness::Kind::Silent);
    EXPECT_DOUBLE_EQ(*back->truePeak, 0.00001);
    for (const char* bad : {"loudness -5.5 1.0 -", "loudness inf 1.0 - 1", "loudness -5.5 -1.0 - 1",
                            "loudness -5.5 1e3 - 1", "loudness  -5.5 1.0 - 1"})
        EXPECT_FALSE(ToolRecord::ParseLoudness(bad)) << bad;

    const std::string lines = ToolRecord::BlocksLines(std::vector<double>(250, -23.25));
    std::vector<double> read;
    for (size_t at = 0, end; (end = lines.find('\n', at)) != std::string::npos; at = end + 1) {
        EXPECT_LT(end - at, 1024u);
        const std::string_view line = std::string_view(lines).substr(at, end - at);
        EXPECT_TRUE(ToolRecord::ParseBlocks(line, read));
        EXPECT_FALSE(ToolRecord::Parse(line)) << "a reader of names and ends skips it";
    }
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    EXPECT_EQ(read, std::vector<double>(250, -23.25));
    for (const char* bad : {"blocks", "blocks -1 nan", "blocks 1e5", "blocks -1  -2"}) {
        std::vector<double> into = {1.0};
        EXPECT_FALSE(ToolRecord::ParseBlocks(bad, into)) << bad;
        EXPECT_EQ(into.size(), 1u);
    }
}

TEST(Gain, IntegerSamplesClipAtFullScaleAndNothingElseChanges)
{
    LibAv::FramePtr frame(av_frame_alloc());
    frame->format = AV_SAMPLE_FMT_S16P;
    frame->nb_samples = 3;
    av_channel_layout_default(&frame->ch_layout, 2);
    ASSERT_EQ(av_frame_get_buffer(frame.get(), 0), 0);
    const int16_t before[] = {20000, -20000, 101};
    for (int c = 0; c < 2; ++c)
        std::copy(std::begin(before), std::end(before), reinterpret_cast<int16_t*>(frame->extended_data[c]));
    Gain::Apply(frame.get(), 2.0);
    for (int c = 0; c < 2; ++c) {
        const auto* s = reinterpret_cast<const int16_t*>(frame->extended_data[c]);
        EXPECT_EQ(std::vector<int16_t>(s, s + 3), (std::vector<int16_t>{32767, -32768, 202})) << "channel " << c;
    }
}

} // namespace
