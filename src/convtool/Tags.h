#pragma once

#include "LibAv.h"

#include <string>
#include <utility>
#include <vector>

// The tags and the cover picture a converted file keeps.
namespace Tags {

// Gain tags of the input that no longer hold for the output.
struct Stale
{
    bool gain = false;       // REPLAYGAIN_* and R128_*: the audio was cut, or gets a gain or tags of its own
    bool replayGain = false; // REPLAYGAIN_* alone: Opus files must not hold them (RFC 7845 5.2.1)
};

// The input's tags: the file's and its audio stream's (Ogg and FLAC keep theirs on the stream), the
// file's winning where both have one, without those that describe the old file's encoding and would
// be wrong for the new one, and without the stale gain tags (any case: FFmpeg reads M4A's in lower
// case). The caller owns the result.
AVDictionary* Collect(const AVDictionary* file, const AVDictionary* stream, Stale stale = {});

// A part of an album image: what describes the whole image goes (its cue sheet, which would list the
// track as an album again, and its track gain, which is the whole image's), then the given tags replace
// the image's own of the same name, an empty value removing it.
void ForTrack(AVDictionary** tags, bool partOfImage, const std::vector<std::pair<std::string, std::string>>& given);

struct Picture
{
    uint32_t type = 3; // front cover
    std::string mime;
    std::string description;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t depth = 0;
    std::string data;
};

// The picture as a FLAC PICTURE block body, which Ogg carries base64-coded as METADATA_BLOCK_PICTURE.
std::string PictureBlock(const Picture& picture);
std::string Base64(const std::string& bytes);

// The MIME type of a picture codec that players show as cover art; empty for any other codec.
std::string PictureMime(AVCodecID codec);

// The picture type of an ID3 or FLAC picture described by its comment ("Cover (front)" is 3); 3 when
// the comment names none.
uint32_t PictureType(const char* comment);

} // namespace Tags
