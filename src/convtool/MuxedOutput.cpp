#include "MuxedOutput.h"

#include "Mp4Index.h"
#include "Negotiate.h"
#include "OutputCheck.h"
#include "Tags.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <utility>

namespace {
// Encoders that take frames of any size get this many samples at a time.
constexpr int kFreeFrameSize = 4096;

// libopus refuses more; every Opus file is decoded at 48 kHz whatever rate it was encoded from.
constexpr long long kOpusMaxPerChannel = 256000;
constexpr int kOpusRate = 48000;

bool named(const AVOutputFormat* f, const char* name)
{
    return f && f->name && !std::strcmp(f->name, name);
}

std::string kbps(long long bitsPerSecond)
{
    return std::to_string((bitsPerSecond + 500) / 1000) + " kbps";
}

int chooseRate(const AVCodec* codec, int wanted, int decoded, bool opus, std::vector<std::string>& notes)
{
    if (opus) {
        if (wanted > 0 && wanted != kOpusRate)
            notes.push_back("Opus is always " + std::to_string(kOpusRate) + " Hz: the file gets " +
                            std::to_string(kOpusRate) + " Hz, not " + std::to_string(wanted) + " Hz");
        return kOpusRate;
    }
    if (wanted <= 0)
        return Negotiate::SampleRate(codec, decoded);
    const int rate = Negotiate::SampleRate(codec, wanted);
    if (rate != wanted)
        notes.push_back("the encoder cannot take " + std::to_string(wanted) + " Hz: the file gets " +
                        std::to_string(rate) + " Hz");
    return rate;
}

struct Choice
{
    const AVCodec* codec = nullptr;
    Resampler::Format format;
};

// The encoder and the samples it takes.
Choice choose(const AVOutputFormat* container, const MuxedOutput::Settings& settings, const AudioInput& input,
              std::vector<std::string>& notes)
{
    Choice c;
    c.codec = settings.codec.empty() ? avcodec_find_encoder(container->audio_codec)
                                     : avcodec_find_encoder_by_name(settings.codec.c_str());
    if (!c.codec || c.codec->type != AVMEDIA_TYPE_AUDIO)
        throw LibAv::Failure{settings.codec.empty() ? "no audio encoder for this output format"
                                                    : "unknown audio encoder " + settings.codec};
    const AVCodecContext* decoder = input.decoder();
    c.format.rate = chooseRate(c.codec, settings.sampleRate, decoder->sample_rate, named(container, "opus"), notes);
    if (settings.channels > 0)
        av_channel_layout_default(&c.format.layout, settings.channels);
    else
        c.format.layout = Negotiate::Layout(c.codec, input.layout());
    c.format.sampleFormat = Negotiate::SampleFormat(c.codec, decoder->sample_fmt);
    return c;
}

const AVOutputFormat* containerOf(const std::string& outputPath)
{
    const AVOutputFormat* container = av_guess_format(nullptr, outputPath.c_str(), nullptr);
    if (!container)
        throw LibAv::Failure{"no output format has the extension of " + outputPath};
    return container;
}
} // namespace

Resampler::Format MuxedOutput::Samples(const Settings& settings, const AudioInput& input)
{
    std::vector<std::string> notes;
    return choose(containerOf(settings.outputPath), settings, input, notes).format;
}

void MuxedOutput::noteBitRate(long long asked, long long got)
{
    m_notes.push_back("the encoder cannot make " + kbps(asked) + " at " + std::to_string(m_format.rate) +
                      " Hz: the file gets " + kbps(got));
}

std::vector<std::string> MuxedOutput::TakeNotes()
{
    return std::exchange(m_notes, {});
}

MuxedOutput::MuxedOutput(const Settings& settings, const AudioInput& input)
{
    AVFormatContext* muxer = nullptr;
    if (avformat_alloc_output_context2(&muxer, nullptr, nullptr, settings.outputPath.c_str()) < 0)
        throw LibAv::Failure{"no output format has the extension of " + settings.outputPath};
    m_muxer.reset(muxer);
    openEncoder(settings, input);
    addStreams(settings, input);
    openFile(settings);
    m_packet.reset(av_packet_alloc());
    if (!m_packet)
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
}

void MuxedOutput::openEncoder(const Settings& settings, const AudioInput& input)
{
    const AVOutputFormat* container = m_muxer->oformat;
    const Choice choice = choose(container, settings, input, m_notes);
    const AVCodec* codec = choice.codec;
    m_format = choice.format;
    m_encoder.reset(avcodec_alloc_context3(codec));
    if (!m_encoder)
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};

    const AVCodecContext* decoder = input.decoder();
    const bool opus = named(container, "opus");
    AVCodecContext* enc = m_encoder.get();
    enc->sample_rate = m_format.rate;
    LibAv::Check(av_channel_layout_copy(&enc->ch_layout, &m_format.layout));
    enc->sample_fmt = m_format.sampleFormat;
    enc->time_base = AVRational{1, m_format.rate};
    long long bitRate = settings.bitRate;
    if (opus && bitRate > kOpusMaxPerChannel * m_format.layout.nb_channels) {
        bitRate = kOpusMaxPerChannel * m_format.layout.nb_channels;
        m_notes.push_back("libopus takes at most " + kbps(kOpusMaxPerChannel) + " per channel: the file gets " +
                          kbps(bitRate) + ", not " + kbps(settings.bitRate));
    }
    if (bitRate > 0)
        enc->bit_rate = bitRate;
    if (decoder->bits_per_raw_sample > 0)
        enc->bits_per_raw_sample = std::min(decoder->bits_per_raw_sample, av_get_bytes_per_sample(enc->sample_fmt) * 8);
    if (container->flags & AVFMT_GLOBALHEADER)
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    LibAv::Check(avcodec_open2(enc, codec, nullptr));
    // Some encoders clamp the rate and say what they chose; LAME's choice shows only in its frames.
    if (bitRate > 0 && enc->bit_rate > 0 && kbps(enc->bit_rate) != kbps(bitRate))
        noteBitRate(bitRate, enc->bit_rate);
    else if (bitRate > 0 && codec->id == AV_CODEC_ID_MP3)
        m_checkFrames = bitRate;
    const bool anySize = (codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || enc->frame_size <= 0;
    m_frameSize = anySize ? kFreeFrameSize : enc->frame_size;
}

void MuxedOutput::addStreams(const Settings& settings, const AudioInput& input)
{
    const AVCodecContext* enc = m_encoder.get();
    m_stream = avformat_new_stream(m_muxer.get(), nullptr);
    if (!m_stream)
        throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
    m_stream->time_base = enc->time_base;
    LibAv::Check(avcodec_parameters_from_context(m_stream->codecpar, enc));

    // The music's tags go to the file and to its audio stream: each container reads them from one.
    const GainTags::Style style = GainTags::StyleOf(m_muxer->oformat, enc->codec_id);
    Tags::Stale stale;
    stale.gain = settings.staleGain || !settings.gainTags.empty();
    stale.replayGain = style == GainTags::Style::Opus || enc->codec_id == AV_CODEC_ID_OPUS;
    AVDictionary* tags = Tags::Collect(input.format()->metadata, input.audio()->metadata, stale);
    Tags::ForTrack(&tags, settings.partOfImage, settings.tags);
    // The M4A muxer drops these keys: in its dictionary they only count in the room kept for the index.
    for (const auto& [key, value] : GainTags::For(style, settings.gainTags))
        av_dict_set(&tags, key.c_str(), value.c_str(), 0);
    if (style == GainTags::Style::Freeform)
        m_freeform = GainTags::For(style, settings.gainTags);
    if (style == GainTags::Style::None && !settings.gainTags.empty())
        m_notes.push_back("this output format keeps no gain tags: the file gets none");
    av_dict_copy(&m_muxer->metadata, tags, 0);
    av_dict_copy(&m_stream->metadata, tags, 0);
    av_dict_free(&tags);
    addPicture(input);
}

int64_t MuxedOutput::indexRoom(const Settings& settings)
{
    // A length the input only estimated (from its bit rate) may be far short: twice as many frames.
    const double frames = std::ceil(double(settings.expectedMicros) / 1e6 * m_format.rate / m_frameSize) + 2;
    m_expectedFrames = int64_t(frames) * (settings.expectedIsGuess ? 2 : 1);
    Mp4Index::Contents contents;
    contents.frames = m_expectedFrames;
    contents.coverBytes = m_picture ? m_picture->size : 0;
    contents.tagBytes = Mp4Index::TagBytes(m_muxer->metadata);
    for (unsigned i = 0; i < m_muxer->nb_streams; ++i)
        contents.tagBytes += Mp4Index::TagBytes(m_muxer->streams[i]->metadata);
    const int64_t room = Mp4Index::Room(contents);
    if (room > INT_MAX)
        throw LibAv::Failure{"the cover and the tags are too large for an M4A file"};
    return room;
}

void MuxedOutput::openFile(const Settings& settings)
{
    const AVOutputFormat* container = m_muxer->oformat;
    m_writePath = settings.writePath;
    m_writer = std::make_unique<PartWriter>(settings.writePath);
    m_muxer->pb = m_writer->io();
    m_muxer->flags |= AVFMT_FLAG_CUSTOM_IO;
    AVDictionary* muxerOptions = nullptr;
    // A player can start an M4A file before it has all of it only with the index at the front.
    if (named(container, "ipod")) {
        m_indexRoom = indexRoom(settings);
        av_dict_set_int(&muxerOptions, "moov_size", m_indexRoom, 0);
    }
    const int header = avformat_write_header(m_muxer.get(), &muxerOptions);
    av_dict_free(&muxerOptions);
    LibAv::Check(header);
    checkIo();
    // MP3 and FLAC hold the audio back until the picture arrives, and MP4 keeps it for its index: it goes
    // first.
    if (m_pictureStream) {
        AVPacket* pic = av_packet_clone(m_picture);
        if (!pic)
            throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
        pic->stream_index = m_pictureStream->index;
        pic->pts = pic->dts = 0;
        pic->flags |= AV_PKT_FLAG_KEY;
        const int written = av_write_frame(m_muxer.get(), pic);
        av_packet_free(&pic);
        LibAv::Check(written);
    }
}

void MuxedOutput::addPicture(const AudioInput& input)
{
    const AVStream* picture = input.picture();
    if (!picture)
        return;
    const std::string mime = Tags::PictureMime(picture->codecpar->codec_id);
    if (mime.empty())
        return;
    const AVOutputFormat* container = m_muxer->oformat;
    if (named(container, "mp3") || named(container, "flac") || named(container, "ipod")) {
        m_pictureStream = avformat_new_stream(m_muxer.get(), nullptr);
        if (!m_pictureStream)
            throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
        LibAv::Check(avcodec_parameters_copy(m_pictureStream->codecpar, picture->codecpar));
        m_pictureStream->codecpar->codec_tag = 0;
        m_pictureStream->disposition = AV_DISPOSITION_ATTACHED_PIC;
        m_pictureStream->time_base = AVRational{1, 90000};
        av_dict_copy(&m_pictureStream->metadata, picture->metadata, 0);
        m_picture = &picture->attached_pic;
    } else if (named(container, "ogg") || named(container, "oga") || named(container, "opus")) {
        Tags::Picture p;
        p.type = Tags::PictureType(av_dict_get(picture->metadata, "comment", nullptr, 0)
                                       ? av_dict_get(picture->metadata, "comment", nullptr, 0)->value
                                       : nullptr);
        p.mime = mime;
        if (const AVDictionaryEntry* title = av_dict_get(picture->metadata, "title", nullptr, 0))
            p.description = title->value;
        p.width = uint32_t(picture->codecpar->width);
        p.height = uint32_t(picture->codecpar->height);
        p.depth = 24;
        p.data.assign(reinterpret_cast<const char*>(picture->attached_pic.data), size_t(picture->attached_pic.size));
        av_dict_set(&m_stream->metadata, "METADATA_BLOCK_PICTURE", Tags::Base64(Tags::PictureBlock(p)).c_str(), 0);
    }
}

MuxedOutput::~MuxedOutput()
{
    av_channel_layout_uninit(&m_format.layout);
}

void MuxedOutput::checkIo() const
{
    if (m_muxer->pb && m_muxer->pb->error < 0)
        throw LibAv::Failure{LibAv::Reason(m_muxer->pb->error)};
}

void MuxedOutput::drain()
{
    for (;;) {
        const int got = avcodec_receive_packet(m_encoder.get(), m_packet.get());
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF)
            return;
        LibAv::Check(got);
        if (m_checkFrames > 0) {
            const long long made = Negotiate::Mp3FrameBitRate(m_packet->data, m_packet->size);
            if (made > 0 && kbps(made) != kbps(m_checkFrames))
                noteBitRate(m_checkFrames, made);
            m_checkFrames = 0;
        }
        // The container chose its own time base when it wrote its header.
        av_packet_rescale_ts(m_packet.get(), m_encoder->time_base, m_stream->time_base);
        m_packet->stream_index = m_stream->index;
        const int written = av_write_frame(m_muxer.get(), m_packet.get());
        av_packet_unref(m_packet.get());
        LibAv::Check(written);
        checkIo();
        ++m_packets;
    }
}

void MuxedOutput::Write(AVFrame* frame)
{
    frame->pts = m_nextPts;
    m_nextPts += frame->nb_samples;
    LibAv::Check(avcodec_send_frame(m_encoder.get(), frame));
    drain();
}

void MuxedOutput::writeTrailer()
{
    const int trailer = av_write_trailer(m_muxer.get());
    if (trailer < 0 && m_indexRoom > 0) {
        // The muxer has then written the index over the start of the audio, which is of no more use: written
        // out, the part file tells how large the index is, and it goes.
        try {
            m_writer->Close();
        } catch (const LibAv::Failure&) {
            LibAv::Check(trailer);
        }
        const int64_t needed = Mp4Index::WrittenBytes(m_writePath);
        if (needed > m_indexRoom)
            throw LibAv::Failure{Mp4Index::ShortReason(needed, m_indexRoom, m_packets > m_expectedFrames)};
    }
    LibAv::Check(trailer);
    writeFreeform();
}

void MuxedOutput::writeFreeform()
{
    if (m_freeform.empty())
        return;
    // The room kept starts after the file type atom and holds the index and a free atom.
    const std::vector<uint8_t> head = m_writer->Read(0, 8);
    const int64_t at = int64_t(uint32_t(head[0]) << 24 | uint32_t(head[1]) << 16 | uint32_t(head[2]) << 8 | head[3]);
    std::vector<uint8_t> room = m_writer->Read(at, m_indexRoom);
    Mp4Index::AddFreeform(room, m_freeform);
    m_writer->Patch(at, room);
}

void MuxedOutput::Finish()
{
    LibAv::Check(avcodec_send_frame(m_encoder.get(), nullptr));
    drain();
    writeTrailer();
    checkIo();
    // Closing flushes what is buffered: a full disk can show only here.
    m_writer->Close();
    m_finished = true;
}

int64_t MuxedOutput::size() const
{
    if (m_finished)
        return m_writer->length();
    return m_muxer->pb ? avio_tell(m_muxer->pb) : 0;
}

void MuxedOutput::Check(const std::string& path) const
{
    OutputCheck::End(path, m_writer->tailAt(), m_writer->tail());
    if (m_indexRoom <= 0)
        return;
    OutputCheck::Mp4Audio audio;
    audio.frames = m_packets;
    audio.samples = m_nextPts;
    audio.rate = m_format.rate;
    audio.frameSize = m_frameSize;
    OutputCheck::Mp4(path, audio);
}
