#pragma once

// One owner for every FFmpeg object: a deleter per type and a unique_ptr alias, so no early return leaks
// and no path frees twice.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <string>

namespace LibAv {

struct InputDeleter
{
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct OutputDeleter
{
    void operator()(AVFormatContext* c) const
    {
        if (c->pb && !(c->flags & AVFMT_FLAG_CUSTOM_IO))
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct CodecDeleter
{
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameDeleter
{
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketDeleter
{
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ResamplerDeleter
{
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoDeleter
{
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
struct DictionaryDeleter
{
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

using InputPtr = std::unique_ptr<AVFormatContext, InputDeleter>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputDeleter>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using ResamplerPtr = std::unique_ptr<SwrContext, ResamplerDeleter>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoDeleter>;

// Settings for the whole process: the libraries stay quiet (their chatter would push the reason off the
// console's last line) and no single allocation may pass 256 MiB, so a damaged header claiming gigabytes
// fails at once instead of taking the machine's memory.
void Init();

// The one plain sentence for a negative FFmpeg return, as the user is shown it: "No space left on
// device", "Invalid data found when processing input".
std::string Reason(int error);

// A failure on its way to the console's last line.
struct Failure
{
    std::string reason;
};

// Throws Failure with the reason of a negative return; returns the value otherwise.
int Check(int result);

} // namespace LibAv
