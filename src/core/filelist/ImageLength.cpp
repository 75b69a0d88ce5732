#include "ImageLength.h"

#include "FileBytes.h"
#include "FlacImage.h"

#include <QtEndian>
#include <algorithm>
#include <cstring>

namespace ImageLength {

namespace {
// Far past any disc (WavPack's own limit, 2^40 samples, is 290 days at 44.1 kHz), and small enough that
// a track's place in samples never overflows.
constexpr qint64 kMostSamples = qint64(1) << 40;
constexpr qint64 kMostRate = 1 << 24;

quint16 le16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}
quint32 le32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}

std::optional<AudioLength> sound(qint64 rate, qint64 samples)
{
    if (rate <= 0 || rate > kMostRate || samples <= 0 || samples > kMostSamples)
        return std::nullopt;
    return AudioLength{int(rate), samples};
}

qint64 pastId3v2(const FileBytes& file)
{
    qint64 at = 0;
    // A file may hold more than one (a tagger that prepends its own); four is more than any writes.
    for (int tags = 0; tags < 4; ++tags) {
        unsigned char h[10];
        if (!file.Read(at, reinterpret_cast<char*>(h), sizeof h) || memcmp(h, "ID3", 3) != 0 || h[3] == 0xFF ||
            h[4] == 0xFF || ((h[6] | h[7] | h[8] | h[9]) & 0x80))
            break;
        const qint64 size = (qint64(h[6]) << 21) | (qint64(h[7]) << 14) | (qint64(h[8]) << 7) | qint64(h[9]);
        at += 10 + size + ((h[5] & 0x10) ? 10 : 0);
    }
    return at;
}

// RIFF/WAVE: the "fmt " chunk's rate and block size, the "data" chunk's size (or what the file holds of
// it, as a recorder that stopped early leaves it).
std::optional<AudioLength> waveLength(const FileBytes& file, qint64 start)
{
    char head[12];
    if (!file.Read(start, head, sizeof head) || memcmp(head + 8, "WAVE", 4) != 0)
        return std::nullopt;
    qint64 rate = 0;
    int blockAlign = 0;
    // Real files have a handful of chunks; a file of empty ones is not read to its end.
    qint64 at = start + 12;
    for (int chunks = 0; chunks < 1024 && at + 8 <= file.size(); ++chunks) {
        char chunk[8];
        if (!file.Read(at, chunk, sizeof chunk))
            return std::nullopt;
        const quint32 size = le32(chunk + 4);
        if (memcmp(chunk, "fmt ", 4) == 0 && size >= 16) {
            char fmt[16];
            if (!file.Read(at + 8, fmt, sizeof fmt))
                return std::nullopt;
            // PCM, float and extensible PCM only: a compressed WAV's blocks are not samples.
            const quint16 format = le16(fmt);
            if (format != 1 && format != 3 && format != 0xFFFE)
                return std::nullopt;
            rate = qMin<qint64>(le32(fmt + 4), kMostRate);
            blockAlign = le16(fmt + 12);
        } else if (memcmp(chunk, "data", 4) == 0) {
            if (rate <= 0 || blockAlign <= 0)
                return std::nullopt;
            const qint64 bytes = std::min<qint64>(size, file.size() - (at + 8));
            return sound(rate, bytes / blockAlign);
        }
        at += 8 + qint64(size) + (size & 1);
    }
    return std::nullopt;
}

// A rate WavPack's table lacks is in the block's ID_SAMPLE_RATE metadata (0x27): three bytes, or four
// for rates past 2^24. Sub-blocks are an id, a size in 16-bit words (one byte, or three when the id has
// 0x80) and the data, one byte short of the words when the id has 0x40.
qint64 wavPackCustomRate(const FileBytes& file, qint64 at, qint64 end)
{
    while (at + 2 <= end) {
        unsigned char h[4];
        if (!file.Read(at, reinterpret_cast<char*>(h), 2))
            return 0;
        qint64 head = 2;
        qint64 words = h[1];
        if (h[0] & 0x80) {
            if (!file.Read(at, reinterpret_cast<char*>(h), 4))
                return 0;
            head = 4;
            words = qint64(h[1]) | (qint64(h[2]) << 8) | (qint64(h[3]) << 16);
        }
        const qint64 stored = words * 2;
        const qint64 length = stored - ((h[0] & 0x40) ? 1 : 0);
        if (length < 0 || at + head + stored > end)
            return 0;
        if ((h[0] & 0x3F) == 0x27 && (length == 3 || length == 4)) {
            unsigned char r[4] = {};
            if (!file.Read(at + head, reinterpret_cast<char*>(r), length))
                return 0;
            return qint64(r[0]) | (qint64(r[1]) << 8) | (qint64(r[2]) << 16) | (qint64(r[3] & 0x7F) << 24);
        }
        at += head + stored;
    }
    return 0;
}

// WavPack 4 and 5: blocks of a 32-byte header ("wvpk", the size of the rest, the stream version, the
// total samples per channel, the block's first sample and count, its flags). The first block with
// audio tells the rate and the whole stream's length; blocks before it may hold metadata only.
std::optional<AudioLength> wavPackLength(const FileBytes& file, qint64 at)
{
    static constexpr qint64 kRates[15] = {6000,  8000,  9600,  11025, 12000, 16000, 22050, 24000,
                                          32000, 44100, 48000, 64000, 88200, 96000, 192000};
    // The format's blocks hold at most 1 MiB after their header.
    constexpr quint32 kMostBlock = (1u << 20) + 24;
    constexpr quint32 kDsd = 0x80000000u;
    for (int blocks = 0; blocks < 64; ++blocks) {
        char h[32];
        if (!file.Read(at, h, sizeof h) || memcmp(h, "wvpk", 4) != 0)
            return std::nullopt;
        const quint32 size = le32(h + 4);
        const quint16 version = le16(h + 8);
        if (size < 24 || size > kMostBlock || version < 0x402 || version > 0x410)
            return std::nullopt;
        if (le32(h + 20) == 0) {
            at += 8 + qint64(size);
            continue;
        }
        const quint32 total = le32(h + 12);
        const quint32 flags = le32(h + 24);
        // All ones is a stream whose length its writer did not know. DSD decodes at a rate of its own.
        if (total == 0xFFFFFFFFu || (flags & kDsd))
            return std::nullopt;
        qint64 samples = total;
        // From 0x410 two spare bytes carry the high bits of the block's index and the total; all ones
        // being reserved, each step of the high byte adds 2^32 - 1.
        if (version >= 0x410) {
            const qint64 high = quint8(h[11]);
            samples += (high << 32) - high;
        }
        const int index = int((flags >> 23) & 0xF);
        const qint64 rate = index < 15 ? kRates[index] : wavPackCustomRate(file, at + 32, at + 8 + qint64(size));
        return sound(rate, samples);
    }
    return std::nullopt;
}

// Monkey's Audio: "MAC " and the version times 1000. From 3.98 a descriptor (its own size at byte 8)
// precedes the header: compression, flags, blocks per frame, blocks in the final frame, frames, bits,
// channels, rate. Before 3.98 the header follows the version (compression, flags, channels, rate, the
// WAV header's and tail's sizes, frames, final frame's blocks) and the blocks per frame follow from the
// version. FFmpeg decodes nothing older than 3.80, so neither is read here.
std::optional<AudioLength> monkeysLength(const FileBytes& file, qint64 at)
{
    char magic[6];
    if (!file.Read(at, magic, sizeof magic))
        return std::nullopt;
    const quint16 version = le16(magic + 4);
    qint64 perFrame = 0;
    qint64 finalBlocks = 0;
    qint64 frames = 0;
    qint64 rate = 0;
    if (version >= 3980) {
        char descriptor[52];
        char header[24];
        if (!file.Read(at, descriptor, sizeof descriptor))
            return std::nullopt;
        const quint32 descriptorBytes = le32(descriptor + 8);
        if (descriptorBytes < sizeof descriptor || !file.Read(at + descriptorBytes, header, sizeof header))
            return std::nullopt;
        perFrame = le32(header + 4);
        finalBlocks = le32(header + 8);
        frames = le32(header + 12);
        rate = le32(header + 20);
    } else if (version >= 3800) {
        char header[32];
        if (!file.Read(at, header, sizeof header))
            return std::nullopt;
        const quint16 compression = le16(header + 6);
        rate = le32(header + 12);
        frames = le32(header + 24);
        finalBlocks = le32(header + 28);
        perFrame = version >= 3950 ? 73728 * 4 : version >= 3900 || compression >= 4000 ? 73728 : 9216;
    } else {
        return std::nullopt;
    }
    // Every frame but the last is whole, and the last holds at least one block.
    if (frames == 0 || finalBlocks == 0 || finalBlocks > perFrame || frames - 1 > kMostSamples / perFrame)
        return std::nullopt;
    return sound(rate, (frames - 1) * perFrame + finalBlocks);
}
// A rate with no length: the header does not say how long the stream is (the tool finds a track that
// starts past the end as it converts it).
std::optional<AudioLength> rateOnly(qint64 rate)
{
    if (rate <= 0 || rate > kMostRate)
        return std::nullopt;
    return AudioLength{int(rate), AudioLength::kUnknownSamples};
}

// An MPEG audio frame header: its rate and its length in bytes; nothing for bytes that are not one (a
// free-format frame included: its length is not in its header).
struct MpegFrame
{
    int rate = 0;
    qint64 bytes = 0;
    quint8 kind = 0; // version and layer bits: every frame of a stream shares them
};

std::optional<MpegFrame> mpegFrame(const unsigned char* h)
{
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (h[1] >> 3) & 3; // 0 MPEG 2.5, 2 MPEG 2, 3 MPEG 1
    const int layer = (h[1] >> 1) & 3;   // 1 layer III, 2 layer II, 3 layer I
    const int bitrateIndex = h[2] >> 4;
    const int rateIndex = (h[2] >> 2) & 3;
    if (version == 1 || layer == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3)
        return std::nullopt;
    static constexpr int kRates[] = {44100, 48000, 32000};
    static constexpr int kKbps[2][3][15] = {// MPEG 1: layers I, II, III
                                            {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
                                             {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
                                             {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
                                            // MPEG 2 and 2.5
                                            {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                                             {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
                                             {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    const bool one = version == 3;
    const int rate = kRates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const qint64 bps = qint64(kKbps[one ? 0 : 1][3 - layer][bitrateIndex]) * 1000;
    const int padding = (h[2] >> 1) & 1;
    qint64 bytes = 0;
    if (layer == 3)
        bytes = (12 * bps / rate + padding) * 4;
    else
        bytes = (layer == 1 && !one ? 72 : 144) * bps / rate + padding;
    return MpegFrame{rate, bytes, quint8(h[1] & 0x1E)};
}

// An MP3 (or MP2) stream: the rate of its first frame, when the frame after it is one of the same
// stream, so a stray 0xFF byte in a file of another kind is not taken for one.
std::optional<AudioLength> mpegRate(const FileBytes& file, qint64 at)
{
    unsigned char h[4];
    if (!file.Read(at, reinterpret_cast<char*>(h), sizeof h))
        return std::nullopt;
    const std::optional<MpegFrame> first = mpegFrame(h);
    if (!first || !file.Read(at + first->bytes, reinterpret_cast<char*>(h), sizeof h))
        return std::nullopt;
    const std::optional<MpegFrame> next = mpegFrame(h);
    if (!next || next->kind != first->kind || next->rate != first->rate)
        return std::nullopt;
    return rateOnly(first->rate);
}

// An Ogg stream's first packet: Vorbis and FLAC say their rate, Opus always decodes at 48 kHz.
std::optional<AudioLength> oggRate(const FileBytes& file, qint64 at)
{
    unsigned char page[27];
    if (!file.Read(at, reinterpret_cast<char*>(page), sizeof page) || page[4] != 0)
        return std::nullopt;
    const qint64 packet = at + 27 + page[26];
    char p[30];
    if (!file.Read(packet, p, 8))
        return std::nullopt;
    if (memcmp(p, "OpusHead", 8) == 0)
        return rateOnly(48000);
    if (memcmp(p, "\x01vorbis", 7) == 0 && file.Read(packet, p, 16))
        return rateOnly(le32(p + 12));
    // FLAC's mapping: "\x7FFLAC", version, header count, "fLaC", then STREAMINFO's block header and body.
    if (memcmp(p,
               "\x7F"
               "FLAC",
               5) == 0 &&
        file.Read(packet, p, 30) && memcmp(p + 9, "fLaC", 4) == 0) {
        const auto* b = reinterpret_cast<const unsigned char*>(p + 17);
        return rateOnly((qint64(b[10]) << 12) | (qint64(b[11]) << 4) | (b[12] >> 4));
    }
    return std::nullopt;
}
} // namespace

std::optional<AudioLength> FromHeader(const FileBytes& file)
{
    const qint64 at = pastId3v2(file);
    char magic[4];
    if (!file.Read(at, magic, sizeof magic))
        return std::nullopt;
    if (memcmp(magic, "RIFF", 4) == 0)
        return waveLength(file, at);
    if (memcmp(magic, "wvpk", 4) == 0)
        return wavPackLength(file, at);
    if (memcmp(magic, "MAC ", 4) == 0)
        return monkeysLength(file, at);
    if (memcmp(magic, "OggS", 4) == 0)
        return oggRate(file, at);
    return mpegRate(file, at);
}

std::optional<AudioLength> Read(const QString& path)
{
    if (const auto flac = FlacImage::Length(path))
        return flac;
    return FromHeader(FileBytes(path));
}

} // namespace ImageLength
