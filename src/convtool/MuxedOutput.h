#pragma once

#include "AudioInput.h"
#include "GainTags.h"
#include "Output.h"
#include "PartWriter.h"

#include <memory>
#include <string>
#include <vector>

// Every output FFmpeg's libraries write: the container named by the output's extension, its default
// audio encoder or the one asked for, the input's tags, and its cover picture where the container
// keeps one (MP3, FLAC and M4A as a picture, Ogg and Opus as a comment), and the ReplayGain tags it is
// given (GainTags). A rate or bit rate the encoder cannot take becomes the nearest it can, with a note
// saying so. The file is written through a PartWriter; an M4A file gets its index at the front in the
// room Mp4Index sizes, and its gain tags as freeform atoms in that index.
class MuxedOutput : public Output
{
public:
    struct Settings
    {
        std::string outputPath; // names the container
        std::string writePath;  // where the bytes go until the file is complete
        std::string codec;      // empty: the container's default
        long long bitRate = 0;  // 0: the encoder's default
        int sampleRate = 0;     // 0: the input's, as the encoder allows
        int channels = 0;       // 0: the input's, as the encoder allows
        // How long the output will be as far as the input tells, for the room kept for an M4A index.
        int64_t expectedMicros = 0;
        bool expectedIsGuess = false;                          // the input's length was only estimated
        bool partOfImage = false;                              // a range of the input (-range): an album image's track
        std::vector<std::pair<std::string, std::string>> tags; // over the input's own (Tags::ForTrack)
        GainTags::Values gainTags;                             // ReplayGain values for the output
        bool staleGain = false;                                // the input's gain tags do not hold for the output
    };

    // The samples the encoder would take, with nothing opened: what an analysis measures. The caller
    // owns the layout. Throws LibAv::Failure.
    static Resampler::Format Samples(const Settings& settings, const AudioInput& input);

    // Opens the encoder and writes the header. Throws LibAv::Failure.
    MuxedOutput(const Settings& settings, const AudioInput& input);
    ~MuxedOutput() override;

    const Resampler::Format& format() const override { return m_format; }
    int frameSize() const override { return m_frameSize; }
    void Write(AVFrame* frame) override;
    void Finish() override;
    int64_t size() const override;
    void Check(const std::string& path) const override;
    std::vector<std::string> TakeNotes() override;

private:
    void noteBitRate(long long asked, long long got);
    void openEncoder(const Settings& settings, const AudioInput& input);
    void addStreams(const Settings& settings, const AudioInput& input);
    void openFile(const Settings& settings);
    int64_t indexRoom(const Settings& settings);
    void writeTrailer();
    void writeFreeform();
    void addPicture(const AudioInput& input);
    void drain();
    void checkIo() const;

    std::unique_ptr<PartWriter> m_writer; // outlives the muxer, which writes through it
    LibAv::OutputPtr m_muxer;
    LibAv::CodecPtr m_encoder;
    LibAv::PacketPtr m_packet;
    AVStream* m_stream = nullptr;
    AVStream* m_pictureStream = nullptr;
    const AVPacket* m_picture = nullptr;
    Resampler::Format m_format;
    int m_frameSize = 0;
    int64_t m_nextPts = 0;
    int64_t m_packets = 0;
    std::string m_writePath;
    int64_t m_indexRoom = 0; // M4A: the bytes kept for the index at the front
    int64_t m_expectedFrames = 0;
    bool m_finished = false;
    long long m_checkFrames = 0; // the bit rate asked of LAME, until its first frame shows what it made
    std::vector<std::string> m_notes;
    GainTags::Values m_freeform; // M4A: the gain tags the index step adds
};
