#include "AmrWriter.h"

#include <opencore-amrnb/interf_enc.h>

AmrWriter::AmrWriter(std::FILE* out, int mode) : m_out(out), m_mode(mode)
{
    m_state = Encoder_Interface_init(0);
    m_ok = m_state != nullptr && std::fwrite("#!AMR\n", 1, 6, m_out) == 6;
}

AmrWriter::~AmrWriter()
{
    if (m_state)
        Encoder_Interface_exit(m_state);
}

bool AmrWriter::encodeFrame(const int16_t* frame)
{
    unsigned char packed[64];
    const int bytes = Encoder_Interface_Encode(m_state, static_cast<Mode>(m_mode), frame, packed, 0);
    if (bytes <= 0 || std::fwrite(packed, 1, size_t(bytes), m_out) != size_t(bytes))
        return m_ok = false;
    ++m_frames;
    return true;
}

bool AmrWriter::write(const int16_t* samples, size_t count)
{
    if (!m_ok)
        return false;
    m_pending.insert(m_pending.end(), samples, samples + count);
    size_t used = 0;
    while (m_pending.size() - used >= size_t(kFrameSamples)) {
        if (!encodeFrame(m_pending.data() + used))
            return false;
        used += kFrameSamples;
    }
    m_pending.erase(m_pending.begin(), m_pending.begin() + long(used));
    return true;
}

bool AmrWriter::finish()
{
    if (!m_ok)
        return false;
    if (!m_pending.empty()) {
        m_pending.resize(kFrameSamples, 0);
        if (!encodeFrame(m_pending.data()))
            return false;
        m_pending.clear();
    }
    return std::fflush(m_out) == 0 || (m_ok = false);
}
