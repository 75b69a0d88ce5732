#pragma once

#include "AmrWriter.h"
#include "Output.h"

#include <cstdio>

// AMR-NB, which FFmpeg cannot encode here: 8000 Hz mono 16-bit samples through the AMR-NB codec into
// the "#!AMR\n" storage format.
class AmrOutput : public Output
{
public:
    // Takes over fd. Throws LibAv::Failure.
    AmrOutput(int fd, int mode);
    // The samples it takes.
    static Resampler::Format Samples();
    ~AmrOutput() override;

    const Resampler::Format& format() const override { return m_format; }
    int frameSize() const override { return AmrWriter::kFrameSamples * 8; }
    void Write(AVFrame* frame) override;
    void Finish() override;
    int64_t size() const override;

private:
    std::FILE* m_file = nullptr;
    int64_t m_length = 0; // once finished
    Resampler::Format m_format;
    std::unique_ptr<AmrWriter> m_writer;
};
