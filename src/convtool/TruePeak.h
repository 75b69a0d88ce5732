#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The true peak of each channel as libebur128 1.2.6 measures it, to 1e-7 of its figure, several
// times faster: the samples are interpolated by a polyphase windowed-sinc filter of 49 taps (4 times below
// 96 kHz, twice up to 192 kHz, not at all from there) and the peak is the largest magnitude of the
// interpolated samples or of the samples themselves.
//
// The samples are kept per channel, a block at a time, behind the end of the block before, so each of
// the filter's taps is one pass over contiguous samples the compiler vectorizes.
class TruePeak
{
public:
    TruePeak(int channels, int rate);

    // Interleaved samples, 1 being full scale, in blocks of any size.
    void Add(const float* samples, int64_t frames);

    // The true peak of the channel over all samples given so far, never below its sample peak.
    double Of(int channel) const;
    // The largest of the channels'.
    double Max() const;

    // How many times the samples are interpolated at this rate (1: not at all).
    static int FactorAt(int rate);

    // Samples interpolated in one pass; a block shorter than this costs as much.
    static constexpr int kBlock = 256;

private:
    // The taps of one interpolated position between two samples, in the filter's order.
    struct Phase
    {
        std::vector<float> coefficients;
        std::vector<int> delays; // samples back from the latest the filter takes
    };

    float* samplesOf(int channel) { return m_samples.data() + size_t(channel) * m_stride; }
    const float* samplesOf(int channel) const { return m_samples.data() + size_t(channel) * m_stride; }
    void flush();
    // The running peaks of one channel's block, the latest m_history samples of the block before in
    // front of it, one peak per position of the block.
    void blockPeaks(const float* block, float* peaks) const;

    int m_channels = 0;
    int m_history = 0;   // samples of the block before the filter reaches back to
    size_t m_stride = 0; // m_history + kBlock
    std::vector<Phase> m_phases;
    std::vector<float> m_samples; // per channel: the history, then the block being filled
    std::vector<float> m_peaks;   // per channel: kBlock running peaks of the blocks done
    int m_filled = 0;             // samples in the block being filled
};
