#pragma once

#include "LibAv.h"

// Turns decoded samples into the encoder's rate, layout and sample format, and hands them out in the
// encoder's frame size: the encoder needs frames of exactly frame_size samples but for the last.
class Resampler
{
public:
    struct Format
    {
        int rate = 0;
        AVChannelLayout layout{};
        AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;
    };

    // Throws LibAv::Failure.
    Resampler(const Format& in, const Format& out);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Takes count samples of the frame, starting at sample offset.
    void Push(const AVFrame* frame, int offset, int count);
    // Takes what the resampler still holds; call once, after the last Push.
    void Flush();

    int available() const;
    // Fills frame (its buffers allocated here) with up to samples samples; false when none are left.
    bool Pull(AVFrame* frame, int samples);

private:
    void write(uint8_t* const* planes, int count);

    Format m_in;
    Format m_out;
    bool m_same = false;
    LibAv::ResamplerPtr m_swr;
    LibAv::FifoPtr m_fifo;
    uint8_t** m_buffer = nullptr;
    int m_bufferSamples = 0;
};
