#pragma once

#include "LibAv.h"
#include "Output.h"
#include "ToolRecord.h"
#include "TruePeak.h"

#include <cstdint>
#include <ebur128.h>
#include <memory>
#include <vector>

// EBU R128 / ITU-R BS.1770 measurement of the samples as the encoder would take them: integrated
// loudness and sample peak by libebur128, the true peak when asked by TruePeak (libebur128's own figure
// at a fraction of its cost, which was several times the rest), and the gating blocks an album's
// loudness is computed from (AlbumLoudness.h). As an Output it takes exactly the samples the encoder
// would (its rate, layout and sample format: the resampler's downmix depends on the format too) and
// writes nothing.
//
// Channels are weighed by where the layout puts them: front and centre 1, surround 1.41, LFE not at
// all. Mono follows libebur128's one-channel convention: the channel counts once, as one loudspeaker
// would play it (not as dual mono, which would read 3 dB louder); loudgain and FFmpeg's ebur128 filter
// measure mono the same way.
class LoudnessMeter : public Output
{
public:
    // Takes frames of format. Throws LibAv::Failure.
    LoudnessMeter(const Resampler::Format& format, bool truePeak);
    ~LoudnessMeter() override;
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    const Resampler::Format& format() const override { return m_format; }
    int frameSize() const override { return 4096; }
    void Write(AVFrame* frame) override;
    void Finish() override {}
    int64_t size() const override { return 0; }

    // Interleaved samples of the layout, 1 being full scale. Throws LibAv::Failure.
    void Add(const float* samples, int64_t frames);

    // After the last Add.
    ToolRecord::Loudness Result() const;
    // The loudness (LUFS) of each 400 ms window, one every 100 ms, that passes the absolute gate.
    const std::vector<double>& blocks() const { return m_blocks; }

private:
    Resampler::Format m_format;
    std::vector<float> m_interleaved;
    ebur128_state* m_state = nullptr;
    int m_channels = 0;
    std::unique_ptr<TruePeak> m_truePeak; // when asked
    int64_t m_step = 0;                   // frames in 100 ms, as libebur128 rounds them
    int64_t m_untilBlock = 0;             // frames until the next window is complete
    bool m_anyWindow = false;
    std::vector<double> m_blocks;
};
