#include "AudioInput.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <sys/stat.h>

const char* const AudioInput::kDemuxers =
    "aac,ac3,aiff,amr,amrnb,amrwb,ape,asf,au,avi,caf,dsf,dts,dtshd,eac3,flac,flv,gsm,iff,matroska,mlp,mov,mp3,mpc,mpc8,"
    "mpeg,mpegts,ogg,oma,qcp,rm,shorten,sox,tak,truehd,tta,voc,w64,wav,wsaud,wv,xwma";

namespace {
std::string openReason(int error)
{
    // The format was recognised but is not one of ours: a playlist, an image, a text format.
    if (error == AVERROR(EINVAL))
        return "not an audio file this tool reads";
    if (error == AVERROR_EOF)
        return LibAv::Reason(AVERROR_INVALIDDATA);
    return LibAv::Reason(error);
}
// Whether the container's header alone has said everything the stream search would find: WAV with PCM
// and FLAC, one audio stream with its rate, channels and length. The search then reads a few KiB
// instead of FFmpeg's default (about 4 ms a file, most of a short file's work) and finds the same.
// Anything else, a cover picture included, gets the default.
bool headerDescribesAll(const AVFormatContext* format)
{
    // The tool's own tests compare both ways; the program never sets this.
    if (const char* full = std::getenv("VELTRA_FULL_PROBE"); full && *full)
        return false;
    const std::string_view name = format->iformat->name;
    if ((name != "wav" && name != "flac") || format->nb_streams != 1)
        return false;
    const AVStream* st = format->streams[0];
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_AUDIO || par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0 ||
        st->duration <= 0 || st->duration == AV_NOPTS_VALUE)
        return false;
    if (name == "flac")
        return par->codec_id == AV_CODEC_ID_FLAC;
    return par->codec_id >= AV_CODEC_ID_PCM_S16LE && par->codec_id < AV_CODEC_ID_ADPCM_IMA_QT &&
           par->bits_per_coded_sample > 0;
}
} // namespace

AudioInput::AudioInput(const std::string& path)
{
    struct stat st
    {};
    if (::stat(path.c_str(), &st) != 0)
        throw LibAv::Failure{std::strerror(errno)};
    if (S_ISDIR(st.st_mode))
        throw LibAv::Failure{std::strerror(EISDIR)};
    if (!S_ISREG(st.st_mode))
        throw LibAv::Failure{"not a regular file"};
    if (st.st_size == 0)
        throw LibAv::Failure{"the input is empty"};
    // "file:" in front, so a name such as "http:x.mp3" is only ever a file.
    m_path = path;
    open("file:" + path, nullptr);
}

AudioInput::AudioInput(AVIOContext* io)
{
    AVFormatContext* preset = avformat_alloc_context();
    if (!preset)
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
    preset->pb = io;
    preset->flags |= AVFMT_FLAG_CUSTOM_IO;
    open("", preset);
}

AudioInput::~AudioInput()
{
    av_channel_layout_uninit(&m_layout);
}

void AudioInput::open(const std::string& url, AVFormatContext* preset)
{
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", kDemuxers, 0);
    AVFormatContext* format = preset;
    const int opened = avformat_open_input(&format, url.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened < 0)
        throw LibAv::Failure{openReason(opened)};
    m_format.reset(format);

    if (headerDescribesAll(format))
        format->probesize = kSmallProbeBytes;
    const int info = avformat_find_stream_info(format, nullptr);
    if (info < 0)
        throw LibAv::Failure{LibAv::Reason(info)};

    const AVCodec* codec = nullptr;
    m_audio = av_find_best_stream(format, AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (m_audio == AVERROR_STREAM_NOT_FOUND)
        throw LibAv::Failure{"the input has no audio"};
    if (m_audio == AVERROR_DECODER_NOT_FOUND)
        throw LibAv::Failure{"the input's audio cannot be decoded here"};
    LibAv::Check(m_audio);
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        AVStream* st = format->streams[i];
        if (int(i) != m_audio)
            st->discard = AVDISCARD_ALL; // video and everything else stays undecoded
        if (m_picture < 0 && (st->disposition & AV_DISPOSITION_ATTACHED_PIC) && st->attached_pic.size > 0)
            m_picture = int(i);
    }

    m_decoder.reset(avcodec_alloc_context3(codec));
    if (!m_decoder)
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
    LibAv::Check(avcodec_parameters_to_context(m_decoder.get(), audio()->codecpar));
    m_decoder->pkt_timebase = audio()->time_base;
    LibAv::Check(avcodec_open2(m_decoder.get(), codec, nullptr));
    if (m_decoder->ch_layout.nb_channels <= 0 || m_decoder->sample_rate <= 0)
        throw LibAv::Failure{LibAv::Reason(AVERROR_INVALIDDATA)};
    if (m_decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(&m_layout, m_decoder->ch_layout.nb_channels);
    else
        av_channel_layout_copy(&m_layout, &m_decoder->ch_layout);

    m_packet.reset(av_packet_alloc());
    if (!m_packet)
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
}

int64_t AudioInput::durationMicros() const
{
    return m_format->duration == AV_NOPTS_VALUE ? -1 : m_format->duration;
}

bool AudioInput::Next(AVFrame* frame)
{
    // A decoder that keeps failing without taking input would otherwise spin for ever.
    for (int failures = 0; failures < 1000;) {
        const int received = avcodec_receive_frame(m_decoder.get(), frame);
        if (received == 0) {
            // Frames whose layout or rate changed mid-stream are not ours to mix in.
            if (frame->sample_rate != m_decoder->sample_rate || frame->ch_layout.nb_channels != m_layout.nb_channels ||
                frame->format != m_decoder->sample_fmt) {
                av_frame_unref(frame);
                ++failures;
                continue;
            }
            return true;
        }
        if (received == AVERROR_EOF)
            return false;
        if (received != AVERROR(EAGAIN)) {
            ++failures;
            ++m_refused;
            continue;
        }
        if (m_flushed)
            return false;
        const int read = av_read_frame(m_format.get(), m_packet.get());
        if (read < 0) {
            if (read != AVERROR_EOF)
                m_readError = LibAv::Reason(read);
            m_flushed = true;
            avcodec_send_packet(m_decoder.get(), nullptr);
            continue;
        }
        if (m_packet->stream_index == m_audio) {
            const int sent = avcodec_send_packet(m_decoder.get(), m_packet.get());
            if (sent < 0 && sent != AVERROR(EAGAIN)) {
                ++m_refused;
                ++failures;
            }
        }
        av_packet_unref(m_packet.get());
    }
    m_readError = LibAv::Reason(AVERROR_INVALIDDATA);
    return false;
}

bool AudioInput::Seek(int64_t timestamp)
{
    if (av_seek_frame(m_format.get(), m_audio, timestamp, AVSEEK_FLAG_BACKWARD) < 0)
        return false;
    avcodec_flush_buffers(m_decoder.get());
    m_flushed = false;
    return true;
}

bool AudioInput::Restart()
{
    if (m_path.empty())
        return false;
    m_packet.reset();
    m_decoder.reset();
    m_format.reset();
    av_channel_layout_uninit(&m_layout);
    m_audio = -1;
    m_picture = -1;
    m_flushed = false;
    m_refused = 0;
    m_readError.clear();
    open("file:" + m_path, nullptr);
    return true;
}
