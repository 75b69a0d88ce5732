#include "AmrOutput.h"

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {
LibAv::Failure writeFailure()
{
    return LibAv::Failure{std::strerror(errno ? errno : EIO)};
}
} // namespace

AmrOutput::AmrOutput(int fd, int mode)
{
    m_file = ::fdopen(fd, "wb");
    if (!m_file) {
        ::close(fd);
        throw writeFailure();
    }
    m_format = Samples();
    errno = 0;
    m_writer = std::make_unique<AmrWriter>(m_file, mode);
    if (!m_writer->ok())
        throw writeFailure();
}

Resampler::Format AmrOutput::Samples()
{
    Resampler::Format f;
    f.rate = 8000;
    av_channel_layout_default(&f.layout, 1);
    f.sampleFormat = AV_SAMPLE_FMT_S16;
    return f;
}

AmrOutput::~AmrOutput()
{
    m_writer.reset();
    if (m_file)
        std::fclose(m_file);
}

void AmrOutput::Write(AVFrame* frame)
{
    errno = 0;
    if (!m_writer->write(reinterpret_cast<const int16_t*>(frame->data[0]), size_t(frame->nb_samples)))
        throw writeFailure();
}

void AmrOutput::Finish()
{
    errno = 0;
    if (!m_writer->finish())
        throw writeFailure();
    std::FILE* f = m_file;
    m_file = nullptr;
    m_length = std::ftell(f);
    if (std::fclose(f) != 0)
        throw writeFailure();
}

int64_t AmrOutput::size() const
{
    return m_file ? std::ftell(m_file) : m_length;
}
