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

// The frame's samples interleaved as floats, 1 being full scale, each scaled as libebur128 scales
// its own type: one pass per plane, no test per sample.
template <typename T, typename Scale>
void interleave(const AVFrame* frame, bool planar, int channels, float* to, Scale scale)
{
    const size_t frames = size_t(frame->nb_samples);
    const size_t step = size_t(channels);
    if (!planar) {
        const T* from = reinterpret_cast<const T*>(frame->data[0]);
        for (size_t i = 0; i < frames * step; ++i)
            to[i] = scale(from[i]);
        return;
    }
    for (size_t c = 0; c < step; ++c) {
        const T* from = reinterpret_cast<const T*>(frame->extended_data[c]);
        for (size_t i = 0; i < frames; ++i)
            to[i * step + c] = scale(from[i]);
    }
}

LibAv::Failure failure()
{
    return LibAv::Failure{"the loudness measure ran out of memory"};
}
} // namespace

LoudnessMeter::LoudnessMeter(const Resampler::Format& format, bool truePeak) : m_channels(format.layout.nb_channels)
{
    const AVChannelLayout& layout = format.layout;
    const int rate = format.rate;
    // The gating blocks are taken from the momentary loudness at each window's end (Add), and the
    // integrated loudness gated from them (Result): libebur128's own block list (EBUR128_MODE_I) would
    // sum every window's energy a second time for the same figure.
    m_state = ebur128_init(unsigned(m_channels), unsigned(rate), EBUR128_MODE_SAMPLE_PEAK);
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
    if (truePeak)
        m_truePeak = std::make_unique<TruePeak>(m_channels, rate);
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
    m_interleaved.resize(size_t(frame->nb_samples) * size_t(m_channels));
    float* to = m_interleaved.data();
    switch (av_get_packed_sample_fmt(format)) {
    case AV_SAMPLE_FMT_U8:
        interleave<uint8_t>(frame, planar, m_channels, to, [](uint8_t v) { return float((double(v) - 128) / 128); });
        break;
    case AV_SAMPLE_FMT_S16:
        interleave<int16_t>(frame, planar, m_channels, to, [](int16_t v) { return float(v / 32768.0); });
        break;
    case AV_SAMPLE_FMT_S32:
        interleave<int32_t>(frame, planar, m_channels, to, [](int32_t v) { return float(v / 2147483648.0); });
        break;
    case AV_SAMPLE_FMT_S64:
        interleave<int64_t>(frame, planar, m_channels, to,
                            [](int64_t v) { return float(double(v) / 9223372036854775808.0); });
        break;
    case AV_SAMPLE_FMT_FLT:
        interleave<float>(frame, planar, m_channels, to, [](float v) { return v; });
        break;
    case AV_SAMPLE_FMT_DBL:
        interleave<double>(frame, planar, m_channels, to, [](double v) { return float(v); });
        break;
    default:
        std::fill(m_interleaved.begin(), m_interleaved.end(), 0.0f);
        break;
    }
    Add(to, frame->nb_samples);
}

void LoudnessMeter::Add(const float* samples, int64_t frames)
{
    if (m_truePeak)
        m_truePeak->Add(samples, frames);
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
    const std::optional<double> integrated = AlbumLoudness::Of({m_blocks});
    if (!m_anyWindow)
        r.kind = ToolRecord::Loudness::Kind::Short;
    else if (!integrated || !std::isfinite(*integrated))
        r.kind = ToolRecord::Loudness::Kind::Silent;
    else
        r.integrated = *integrated;
    double peak = 0;
    for (int c = 0; c < m_channels; ++c) {
        double p = 0;
        if (ebur128_sample_peak(m_state, unsigned(c), &p) == EBUR128_SUCCESS)
            peak = std::max(peak, p);
    }
    r.samplePeak = peak;
    if (m_truePeak)
        r.truePeak = m_truePeak->Max();
    r.blocks = m_blocks.size();
    return r;
}
