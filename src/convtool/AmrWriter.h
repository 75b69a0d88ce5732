#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// Encodes 8000 Hz mono 16-bit samples with the AMR-NB codec into the "#!AMR\n" storage format.
class AmrWriter
{
public:
    static constexpr int kFrameSamples = 160; // 20 ms

    AmrWriter(std::FILE* out, int mode);
    ~AmrWriter();
    AmrWriter(const AmrWriter&) = delete;
    AmrWriter& operator=(const AmrWriter&) = delete;

    // Takes samples in any amount; whole frames are encoded as they fill. False on a write error.
    bool write(const int16_t* samples, size_t count);
    // Encodes what is left, padded with silence to a whole frame. False on a write error.
    bool finish();

    bool ok() const { return m_ok; }
    long frames() const { return m_frames; }

private:
    bool encodeFrame(const int16_t* frame);

    std::FILE* m_out;
    int m_mode;
    void* m_state = nullptr;
    std::vector<int16_t> m_pending;
    long m_frames = 0;
    bool m_ok = true;
};
