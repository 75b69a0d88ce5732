#pragma once

#include "LibAv.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// The M4A index (the moov atom) at the front of the file, with room for what goes in it, written in the
// one pass that writes the audio: the muxer keeps Room() bytes after the file type, writes the audio
// after them, and at the end fills them with the index and a free atom for what it leaves. The cover
// and every tag live inside the index, so a large cover makes an index larger than the audio. The
// muxer's faststart pass would move the index to the front after the audio instead, rewriting the whole
// file and writing past its end.
namespace Mp4Index {

// What the index will hold.
struct Contents
{
    int64_t frames = 0;     // audio frames, as many as are expected or more
    int64_t coverBytes = 0; // 0: no cover
    int64_t tagBytes = 0;   // TagBytes of every dictionary the muxer writes
};

// The bytes tags take in the index, each counted as a freeform atom, the largest form the index gives a
// tag: a tag added to the muxer's dictionaries before its header is written is counted with the rest.
int64_t TagBytes(const AVDictionary* tags);

// The room to keep: the fixed atoms, the cover, the tags, 8 bytes a frame (a frame takes 4 in the
// sample size table and a share of the chunk tables), and a margin.
int64_t Room(const Contents& contents);

// The size of the index written at the front of the file at path, counting the free atom that must
// follow it; 0 when the file has none there.
int64_t WrittenBytes(const std::string& path);

// Adds iTunes freeform atoms ("----" with mean "com.apple.iTunes", a name and a UTF-8 value) for tags
// to the index, at the end of moov/udta/meta/ilst, which the muxer always writes. bytes holds the index and the free
// atom after it, as written; the index grows into the free atom, so nothing after it moves and the offsets of the audio
// stay true. Throws LibAv::Failure when the free atom is too small or the index is not as the muxer writes it.
void AddFreeform(std::vector<uint8_t>& bytes, const std::vector<std::pair<std::string, std::string>>& tags);

// Why a file whose index needed more than the room kept for it failed.
std::string ShortReason(int64_t needed, int64_t kept, bool longerThanSaid);

} // namespace Mp4Index
