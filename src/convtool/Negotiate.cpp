#include "Negotiate.h"

#include <climits>
#include <cstdlib>

namespace Negotiate {

int SampleRate(const AVCodec* encoder, int wanted)
{
    if (!encoder->supported_samplerates)
        return wanted;
    int best = 0;
    long long bestDiff = LLONG_MAX;
    for (const int* r = encoder->supported_samplerates; *r; ++r) {
        if (*r == wanted)
            return wanted;
        const long long diff = std::llabs(static_cast<long long>(*r) - wanted);
        if (diff < bestDiff) {
            bestDiff = diff;
            best = *r;
        }
    }
    return best ? best : wanted;
}

namespace {
constexpr uint64_t kFrontPair = AV_CH_FRONT_LEFT | AV_CH_FRONT_RIGHT;
constexpr uint64_t kCenterPair = AV_CH_FRONT_LEFT_OF_CENTER | AV_CH_FRONT_RIGHT_OF_CENTER;
constexpr uint64_t kWidePair = AV_CH_WIDE_LEFT | AV_CH_WIDE_RIGHT;
constexpr uint64_t kSidePair = AV_CH_SIDE_LEFT | AV_CH_SIDE_RIGHT;
constexpr uint64_t kDirectPair = AV_CH_SURROUND_DIRECT_LEFT | AV_CH_SURROUND_DIRECT_RIGHT;
constexpr uint64_t kBackPair = AV_CH_BACK_LEFT | AV_CH_BACK_RIGHT;

// Channels that may stand in for each other when a layout lacks one of them, most fitting first.
constexpr uint64_t kStandIns[][2] = {
    {kFrontPair, kCenterPair},
    {kFrontPair, kWidePair},
    {kFrontPair, AV_CH_FRONT_CENTER},
    {kCenterPair, kFrontPair},
    {kCenterPair, kWidePair},
    {kCenterPair, AV_CH_FRONT_CENTER},
    {kWidePair, kFrontPair},
    {kWidePair, kCenterPair},
    {kWidePair, AV_CH_FRONT_CENTER},
    {AV_CH_FRONT_CENTER, kFrontPair},
    {AV_CH_FRONT_CENTER, kCenterPair},
    {AV_CH_FRONT_CENTER, kWidePair},
    {kSidePair, kDirectPair},
    {kSidePair, kBackPair},
    {kSidePair, AV_CH_BACK_CENTER},
    {kBackPair, kDirectPair},
    {kBackPair, kSidePair},
    {kBackPair, AV_CH_BACK_CENTER},
    {AV_CH_BACK_CENTER, kBackPair},
    {AV_CH_BACK_CENTER, kDirectPair},
    {AV_CH_BACK_CENTER, kSidePair},
};

bool known(const AVChannelLayout& l)
{
    return l.order == AV_CHANNEL_ORDER_NATIVE;
}

int score(const AVChannelLayout& in, const AVChannelLayout& out)
{
    int s = 100000;
    uint64_t inMask = known(in) ? in.u.mask : 0;
    uint64_t outMask = known(out) ? out.u.mask : 0;
    if (!known(in) || !known(out)) {
        // Only the counts can be compared; fewer channels than wanted costs most.
        s -= 10000 + std::abs(out.nb_channels - in.nb_channels) + (in.nb_channels > out.nb_channels ? 10000 : 0);
        inMask = outMask = 0;
    }
    for (const auto& pair : kStandIns) {
        if ((inMask & pair[0]) && !(outMask & pair[0]) && (outMask & pair[1]) && !(inMask & pair[1])) {
            inMask &= ~pair[0];
            outMask &= ~pair[1];
            s += 10 * av_popcount64(pair[1]) - 2;
        }
    }
    if ((inMask & AV_CH_LOW_FREQUENCY) && (outMask & AV_CH_LOW_FREQUENCY))
        s += 10;
    inMask &= ~AV_CH_LOW_FREQUENCY;
    outMask &= ~AV_CH_LOW_FREQUENCY;
    return s + 10 * av_popcount64(inMask & outMask) - 5 * av_popcount64(outMask & ~inMask);
}
} // namespace

AVChannelLayout Layout(const AVCodec* encoder, const AVChannelLayout& wanted)
{
    AVChannelLayout result{};
    const AVChannelLayout* list = encoder->ch_layouts;
    if (!list || !list->nb_channels) {
        av_channel_layout_copy(&result, &wanted);
        return result;
    }
    const AVChannelLayout* best = nullptr;
    int bestScore = INT_MIN;
    int bestCountDiff = INT_MAX;
    for (const AVChannelLayout* l = list; l->nb_channels; ++l) {
        if (!av_channel_layout_compare(l, &wanted)) {
            best = l;
            break;
        }
        const int s = score(wanted, *l);
        const int countDiff = l->nb_channels - wanted.nb_channels;
        if (s > bestScore || (s == bestScore && countDiff < bestCountDiff)) {
            best = l;
            bestScore = s;
            bestCountDiff = countDiff;
        }
    }
    av_channel_layout_copy(&result, best);
    return result;
}

AVSampleFormat SampleFormat(const AVCodec* encoder, AVSampleFormat decoded)
{
    const AVSampleFormat* list = encoder->sample_fmts;
    if (!list || *list == AV_SAMPLE_FMT_NONE)
        return decoded;
    const int bytes = av_get_bytes_per_sample(decoded);
    AVSampleFormat best = *list;
    int bestDiff = INT_MIN;
    for (const AVSampleFormat* f = list; *f != AV_SAMPLE_FMT_NONE; ++f) {
        if (av_get_packed_sample_fmt(*f) == av_get_packed_sample_fmt(decoded))
            return *f;
        const int outBytes = av_get_bytes_per_sample(*f);
        // 32-bit samples keep every bit in 64-bit ones.
        if (bytes == 4 && outBytes == 8)
            return *f;
        const int diff = outBytes - bytes;
        if ((bestDiff <= 0 && diff > bestDiff) || (bestDiff > 0 && diff >= 0 && diff < bestDiff)) {
            bestDiff = diff;
            best = *f;
        }
    }
    return best;
}

long long Mp3FrameBitRate(const uint8_t* data, int size)
{
    // Layer III rates in kbps by header index: MPEG-1 (32, 44.1, 48 kHz), then MPEG-2 and 2.5 (below).
    static const int kMpeg1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kMpeg2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    if (!data || size < 4 || data[0] != 0xFF || (data[1] & 0xE0) != 0xE0)
        return 0;
    const int version = (data[1] >> 3) & 3; // 0: 2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1
    const int layer = (data[1] >> 1) & 3;   // 1: layer III
    if (version == 1 || layer != 1)
        return 0;
    const int index = data[2] >> 4;
    return 1000LL * (version == 3 ? kMpeg1[index] : kMpeg2[index]);
}

} // namespace Negotiate
