#pragma once

#include "LibAv.h"

#include <string>

// The input side of a conversion: the file opened for audio only, its decoder, and its attached
// cover picture. Only the "file" protocol and a list of audio and audio-video demuxers are allowed, so
// a file that probes as a playlist can never open other files or the network, and a video stream is
// never decoded.
class AudioInput
{
public:
    // The demuxers an input may be read with.
    static const char* const kDemuxers;
    // What the stream search reads where the header already describes the stream.
    static constexpr int64_t kSmallProbeBytes = 4096;

    // Opens a file. Throws LibAv::Failure with the reason ("No such file or directory", "the input has
    // no audio", ...). Anything but a regular file is refused before it is opened: a FIFO would block.
    explicit AudioInput(const std::string& path);
    // Opens what a custom reader delivers (the fuzzer's bytes), under the same rules.
    explicit AudioInput(AVIOContext* io);
    ~AudioInput();
    AudioInput(const AudioInput&) = delete;
    AudioInput& operator=(const AudioInput&) = delete;

    AVFormatContext* format() const { return m_format.get(); }
    AVStream* audio() const { return m_format->streams[m_audio]; }
    AVCodecContext* decoder() const { return m_decoder.get(); }
    // The attached cover picture's stream, or nullptr.
    AVStream* picture() const { return m_picture >= 0 ? m_format->streams[m_picture] : nullptr; }
    // The decoded channel layout, made explicit where the file only gives a count.
    const AVChannelLayout& layout() const { return m_layout; }

    // The input's length in microseconds; negative when unknown.
    int64_t durationMicros() const;

    // Decodes the next frame into frame; false once the input is over. Packets the decoder refuses are
    // skipped, as a player skips a damaged stretch.
    bool Next(AVFrame* frame);

    // Reads on from the packet at or before timestamp (in the audio stream's time base), the decoder
    // emptied; false when the container cannot seek.
    bool Seek(int64_t timestamp);
    // Opens the file again, to read from its start; false for an input from a custom reader.
    bool Restart();

    // Why reading stopped early (a read error that was not the end of the file); empty otherwise.
    const std::string& readError() const { return m_readError; }
    int refusedPackets() const { return m_refused; }

private:
    void open(const std::string& url, AVFormatContext* preset);

    std::string m_path; // empty for a custom reader
    LibAv::InputPtr m_format;
    LibAv::CodecPtr m_decoder;
    LibAv::PacketPtr m_packet;
    AVChannelLayout m_layout{};
    int m_audio = -1;
    int m_picture = -1;
    bool m_flushed = false;
    int m_refused = 0;
    std::string m_readError;
};
