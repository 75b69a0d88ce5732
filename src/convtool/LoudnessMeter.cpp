#include "LoudnessMeter.h"

#include "AlbumLoudness.h"

#include <algorithm>
#include <cmath>

namespace {
// The weight BS.1770 gives a channel by where it stands. Back channels are surrounds in a layout
// without side channels (5.1), rear channels (weight 1) beside them (7.1).
int channelType(AVChannel channel, bool hasSides)
{
    switch (channel) {
    case AV_CHAN_FRONT_LEFT:
        return EBUR128_LEFT;
    case AV_CHAN_FRONT_RIGHT:
        return EBUR128_RIGHT;
    case AV_CHAN_FRONT_CENTER:
        return EBUR128_CENTER;
    case AV_CHAN_LOW_FREQUENCY:
    case AV_CHAN_LOW_FREQUENCY_2:
        return EBUR128_UNUSED;
    case AV_CHAN_SIDE_LEFT:
        return EBUR128_Mp090;
    case AV_CHAN_SIDE_RIGHT:
        return EBUR128_Mm090;
    case AV_CHAN_BACK_LEFT:
        return hasSides ? EBUR128_Mp135 : EBUR128_Mp110;
    case AV_CHAN_BACK_RIGHT:
        return hasSides ? EBUR128_Mm135 : EBUR128_Mm110;
    default:
        return EBUR128_Mp000; // weight 1
    }
}

// One sample as libebur128 scales it, 1 being full scale.
double sampleAt(const uint8_t* data, AVSampleFormat packed, size_t i)
{
    switch (packed) {
    case AV_SAMPLE_FMT_U8:
        return (double(data[i]) - 128) / 128;
    case AV_SAMPLE_FMT_S16:
        return reinterpret_cast<const int16_t*>(data)[i] / 32768.0;
    case AV_SAMPLE_FMT_S32:
        return reinterpret_cast<const int32_t*>(data)[i] / 2147483648.0;
    case AV_SAMPLE_FMT_S64:
        return double(reinterpret_cast<const int64_t*>(data)[i]) / 9223372036854775808.0;
    case AV_SAMPLE_FMT_FLT:
        return reinterpret_cast<const float*>(data)[i];
    case AV_SAMPLE_FMT_DBL:
        return reinterpret_cast<const double*>(data)[i];
    default:
        return 0;
    }
}

LibAv::Failure failure()
{
    return LibAv::Failure{"the loudness measure ran out of memory"};
}
} // namespace

LoudnessMeter::LoudnessMeter(const Resampler::Format& format, bool truePeak)
    : m_channels(format.layout.nb_channels), m_truePeak(truePeak)
{
    const AVChannelLayout& layout = format.layout;
    const int rate = format.rate;
    const int mode = EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK | (truePeak ? EBUR128_MODE_TRUE_PEAK : 0);
    m_state = ebur128_init(unsigned(m_channels), unsigned(rate), mode);
    if (!m_state || av_channel_layout_copy(&m_format.layout, &layout) < 0) {
        if (m_state)
            ebur128_destroy(&m_state);
        throw LibAv::Failure{"the loudness of " + std::to_string(m_channels) + " channels at " + std::to_string(rate) +
                             " Hz cannot be measured"};
    }
    m_format.rate = rate;
    m_format.sampleFormat = format.sampleFormat;
    // A single channel keeps libebur128's own weight for it (see the header).
    if (m_channels > 1) {
        const bool hasSides = av_channel_layout_index_from_channel(&layout, AV_CHAN_SIDE_LEFT) >= 0;
        for (int c = 0; c < m_channels; ++c) {
            const AVChannel channel = av_channel_layout_channel_from_index(&layout, unsigned(c));
            ebur128_set_channel(m_state, unsigned(c), channelType(channel, hasSides));
        }
    }
    m_step = (int64_t(rate) + 5) / 10;
    m_untilBlock = 4 * m_step;
}

LoudnessMeter::~LoudnessMeter()
{
    ebur128_destroy(&m_state);
    av_channel_layout_uninit(&m_format.layout);
}

void LoudnessMeter::Write(AVFrame* frame)
{
    const auto format = AVSampleFormat(frame->format);
    if (format == AV_SAMPLE_FMT_FLT) {
        Add(reinterpret_cast<const float*>(frame->data[0]), frame->nb_samples);
        return;
    }
    const bool planar = av_sample_fmt_is_planar(format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    const size_t frames = size_t(frame->nb_samples);
    m_interleaved.resize(frames * size_t(m_channels));
    for (size_t i = 0; i < frames; ++i) {
        for (int c = 0; c < m_channels; ++c) {
            m_interleaved[i * size_t(m_channels) + size_t(c)] =
                planar ? float(sampleAt(frame->extended_data[c], packed, i))
                       : float(sampleAt(frame->data[0], packed, i * size_t(m_channels) + size_t(c)));
        }
    }
    Add(m_interleaved.data(), int64_t(frames));
}

void LoudnessMeter::Add(const float* samples, int64_t frames)
{
    // Fed up to each window's end, where libebur128 has just measured the window as a gating block:
    // the momentary loudness then is that block's.
    while (frames > 0) {
        const int64_t n = std::min(frames, m_untilBlock);
        if (ebur128_add_frames_float(m_state, samples, size_t(n)) != EBUR128_SUCCESS)
            throw failure();
        samples += n * m_channels;
        frames -= n;
        m_untilBlock -= n;
        if (m_untilBlock > 0)
            break;
        m_untilBlock = m_step;
        m_anyWindow = true;
        double lufs = 0;
        if (ebur128_loudness_momentary(m_state, &lufs) == EBUR128_SUCCESS && std::isfinite(lufs) &&
            lufs >= AlbumLoudness::kAbsoluteGate)
            m_blocks.push_back(lufs);
    }
}

ToolRecord::Loudness LoudnessMeter::Result() const
{
    ToolRecord::Loudness r;
    double integrated = 0;
    ebur128_loudness_global(m_state, &integrated);
    if (!m_anyWindow)
        r.kind = ToolRecord::Loudness::Kind::Short;
    else if (m_blocks.empty() || !std::isfinite(integrated))
        r.kind = ToolRecord::Loudness::Kind::Silent;
    else
        r.integrated = integrated;
    double peak = 0;
    double truePeak = 0;
    for (int c = 0; c < m_channels; ++c) {
        double p = 0;
        if (ebur128_sample_peak(m_state, unsigned(c), &p) == EBUR128_SUCCESS)
            peak = std::max(peak, p);
        if (m_truePeak && ebur128_true_peak(m_state, unsigned(c), &p) == EBUR128_SUCCESS)
            truePeak = std::max(truePeak, p);
    }
    r.samplePeak = peak;
    if (m_truePeak)
        r.truePeak = truePeak;
    r.blocks = m_blocks.size();
    return r;
}
