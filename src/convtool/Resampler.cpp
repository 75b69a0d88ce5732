#include "Resampler.h"

#include <algorithm>

Resampler::Resampler(const Format& in, const Format& out)
{
    av_channel_layout_copy(&m_in.layout, &in.layout);
    av_channel_layout_copy(&m_out.layout, &out.layout);
    m_in.rate = in.rate;
    m_in.sampleFormat = in.sampleFormat;
    m_out.rate = out.rate;
    m_out.sampleFormat = out.sampleFormat;
    // Already in the encoder's terms: the samples go straight into the FIFO.
    m_same = in.rate == out.rate && in.sampleFormat == out.sampleFormat &&
             !av_channel_layout_compare(&in.layout, &out.layout);
    if (!m_same) {
        SwrContext* swr = nullptr;
        LibAv::Check(swr_alloc_set_opts2(&swr, &m_out.layout, out.sampleFormat, out.rate, &m_in.layout, in.sampleFormat,
                                         in.rate, 0, nullptr));
        m_swr.reset(swr);
        LibAv::Check(swr_init(swr));
    }
    m_fifo.reset(av_audio_fifo_alloc(out.sampleFormat, out.layout.nb_channels, 1));
    if (!m_fifo)
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
}

Resampler::~Resampler()
{
    if (m_buffer)
        av_freep(&m_buffer[0]);
    av_freep(&m_buffer);
    av_channel_layout_uninit(&m_in.layout);
    av_channel_layout_uninit(&m_out.layout);
}

void Resampler::write(uint8_t* const* planes, int count)
{
    if (count <= 0)
        return;
    if (av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void**>(const_cast<uint8_t**>(planes)), count) < count)
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
}

void Resampler::Push(const AVFrame* frame, int offset, int count)
{
    if (count <= 0)
        return;
    // The planes from the first sample wanted: the cutter may start inside a frame.
    const int bytes = av_get_bytes_per_sample(m_in.sampleFormat);
    const bool planar = av_sample_fmt_is_planar(m_in.sampleFormat);
    const int channels = m_in.layout.nb_channels;
    const int planes = planar ? channels : 1;
    uint8_t* from[AV_NUM_DATA_POINTERS * 8] = {};
    if (planes > int(sizeof from / sizeof from[0]))
        throw LibAv::Failure{"too many channels"};
    for (int p = 0; p < planes; ++p)
        from[p] = frame->extended_data[p] + size_t(offset) * bytes * (planar ? 1 : channels);
    if (m_same) {
        write(from, count);
        return;
    }
    const int wanted = swr_get_out_samples(m_swr.get(), count);
    if (wanted > m_bufferSamples) {
        if (m_buffer)
            av_freep(&m_buffer[0]);
        av_freep(&m_buffer);
        LibAv::Check(av_samples_alloc_array_and_samples(&m_buffer, nullptr, m_out.layout.nb_channels, wanted,
                                                        m_out.sampleFormat, 0));
        m_bufferSamples = wanted;
    }
    const int made =
        LibAv::Check(swr_convert(m_swr.get(), m_buffer, m_bufferSamples, const_cast<const uint8_t**>(from), count));
    write(m_buffer, made);
}

void Resampler::Flush()
{
    if (m_same || !m_buffer)
        return;
    for (;;) {
        const int made = LibAv::Check(swr_convert(m_swr.get(), m_buffer, m_bufferSamples, nullptr, 0));
        if (made <= 0)
            break;
        write(m_buffer, made);
    }
}

int Resampler::available() const
{
    return av_audio_fifo_size(m_fifo.get());
}

bool Resampler::Pull(AVFrame* frame, int samples)
{
    const int n = std::min(samples, available());
    if (n <= 0)
        return false;
    av_frame_unref(frame);
    frame->nb_samples = n;
    frame->format = m_out.sampleFormat;
    frame->sample_rate = m_out.rate;
    LibAv::Check(av_channel_layout_copy(&frame->ch_layout, &m_out.layout));
    LibAv::Check(av_frame_get_buffer(frame, 0));
    if (av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void**>(frame->extended_data), n) < n)
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
    return true;
}
