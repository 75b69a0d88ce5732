#include "RangeReader.h"

#include <algorithm>

namespace {
// MP3 keeps up to 511 bytes of the frames before (its bit reservoir) and overlaps each frame with the
// last; AAC, Vorbis and Opus overlap too. Two frames were not enough for every VBR file; ten are.
constexpr int kLossyPreRollFrames = 10;
// A frame size for codecs that do not say (Vorbis's long blocks are 2048 samples).
constexpr int kUnknownFrameSize = 2048;

bool framesStandAlone(AVCodecID codec)
{
    if (codec >= AV_CODEC_ID_PCM_S16LE && codec < AV_CODEC_ID_ADPCM_IMA_QT)
        return true;
    switch (codec) {
    case AV_CODEC_ID_FLAC:
    case AV_CODEC_ID_ALAC:
    case AV_CODEC_ID_APE:
    case AV_CODEC_ID_WAVPACK:
    case AV_CODEC_ID_TTA:
    case AV_CODEC_ID_TAK:
        return true;
    default:
        return false;
    }
}

int64_t timestampOf(const AVFrame* frame)
{
    return frame->pts != AV_NOPTS_VALUE ? frame->pts : frame->best_effort_timestamp;
}
} // namespace

RangeReader::RangeReader(AudioInput& input, SampleRange::Window window)
    : m_input(input), m_window(window), m_pending(av_frame_alloc())
{
    if (!m_pending)
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
}

int64_t RangeReader::preRoll() const
{
    const AVCodecParameters* par = m_input.audio()->codecpar;
    if (framesStandAlone(par->codec_id))
        return 0;
    const int frameSize = par->frame_size > 0 ? par->frame_size : kUnknownFrameSize;
    return int64_t(kLossyPreRollFrames) * frameSize;
}

int64_t RangeReader::positionOf(const AVFrame* frame) const
{
    const int64_t ts = timestampOf(frame);
    if (ts == AV_NOPTS_VALUE || m_origin == AV_NOPTS_VALUE)
        return -1;
    return av_rescale_q_rnd(ts - m_origin, m_input.audio()->time_base, AVRational{1, m_input.decoder()->sample_rate},
                            AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX));
}

void RangeReader::seekNearStart()
{
    // The first frame of a full decode fixes where sample 0 lies on the stream's clock: after a jump the
    // decoder drops no priming samples, and a container may start its clock anywhere.
    if (!m_input.Next(m_pending.get())) {
        m_ended = true;
        return;
    }
    m_hasPending = true;
    m_origin = timestampOf(m_pending.get());
    const AVStream* audio = m_input.audio();
    // Only a clock on which every sample starts at a whole tick places a frame to the sample: ASF's and
    // Matroska's milliseconds cannot, nor can MPEG's 90 kHz at 44.1 or 48 kHz, where the timestamps of raw
    // AC-3 or MPEG audio drift by a rounding per frame. Such inputs are read from the start.
    const int64_t sampleTicks = int64_t(audio->time_base.num) * m_input.decoder()->sample_rate;
    const bool clockFineEnough = sampleTicks > 0 && audio->time_base.den % sampleTicks == 0;
    const int64_t target = m_window.start - preRoll();
    if (m_origin == AV_NOPTS_VALUE || !clockFineEnough || target <= m_pending->nb_samples)
        return; // from here on, sample by sample: m_pending is sample 0
    const int64_t ts = m_origin + av_rescale_q(target, AVRational{1, m_input.decoder()->sample_rate}, audio->time_base);
    if (!m_input.Seek(ts)) {
        restart();
        return;
    }
    av_frame_unref(m_pending.get());
    m_hasPending = m_input.Next(m_pending.get());
    const int64_t landed = m_hasPending ? positionOf(m_pending.get()) : -1;
    if (landed < 0 || landed > m_window.start) {
        restart();
        return;
    }
    m_position = landed;
    m_seeked = true;
}

void RangeReader::restart()
{
    av_frame_unref(m_pending.get());
    m_position = 0;
    m_seeked = false;
    if (!m_input.Restart())
        throw LibAv::Failure{LibAv::Reason(AVERROR(ESPIPE))};
    m_hasPending = m_input.Next(m_pending.get());
    m_ended = !m_hasPending;
}

bool RangeReader::Next(AVFrame* frame, int& from, int& count)
{
    if (!m_started) {
        m_started = true;
        if (m_window.start > 0)
            seekNearStart();
    }
    while (!m_ended && (m_window.end < 0 || m_position < m_window.end)) {
        if (m_hasPending) {
            av_frame_move_ref(frame, m_pending.get());
            m_hasPending = false;
        } else if (!m_input.Next(frame)) {
            m_ended = true;
            break;
        }
        const int64_t at = m_position;
        m_position += frame->nb_samples;
        const int64_t first = std::max(at, m_window.start);
        const int64_t last = m_window.end < 0 ? m_position : std::min(m_position, m_window.end);
        if (last > first) {
            from = int(first - at);
            count = int(last - first);
            return true;
        }
        av_frame_unref(frame);
    }
    return false;
}
