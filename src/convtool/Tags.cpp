#include "Tags.h"

#include "GainTags.h"

extern "C" {
#include <libavutil/base64.h>
}

#include <cstring>
#include <strings.h>

namespace Tags {

namespace {
// Tags about the old file's encoding or its container, not about the music.
bool describesTheOldFile(const char* key)
{
    static const char* const keys[] = {
        "encoder",  "major_brand", "minor_version", "compatible_brands",     "handler_name", "vendor_id",
        "iTunSMPB", "DURATION",    "TLEN",          "METADATA_BLOCK_PICTURE"};
    for (const char* k : keys) {
        if (!strcasecmp(key, k))
            return true;
    }
    return false;
}

void copyTags(AVDictionary** into, const AVDictionary* from, Stale stale)
{
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(from, "", e, AV_DICT_IGNORE_SUFFIX))) {
        const bool staleGain =
            (stale.gain && GainTags::IsGainTag(e->key)) || (stale.replayGain && GainTags::IsReplayGainTag(e->key));
        if (!describesTheOldFile(e->key) && !staleGain)
            av_dict_set(into, e->key, e->value, AV_DICT_DONT_OVERWRITE);
    }
}

void put32(std::string& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>((v >> shift) & 0xFF);
}

// The picture types of ID3v2 and FLAC, by the names FFmpeg gives them in a picture's "comment".
const char* const kTypeNames[] = {"Other",
                                  "32x32 pixels 'file icon'",
                                  "Other file icon",
                                  "Cover (front)",
                                  "Cover (back)",
                                  "Leaflet page",
                                  "Media (e.g. label side of CD)",
                                  "Lead artist/lead performer/soloist",
                                  "Artist/performer",
                                  "Conductor",
                                  "Band/Orchestra",
                                  "Composer",
                                  "Lyricist/text writer",
                                  "Recording Location",
                                  "During recording",
                                  "During performance",
                                  "Movie/video screen capture",
                                  "A bright coloured fish",
                                  "Illustration",
                                  "Band/artist logotype",
                                  "Publisher/Studio logotype"};
} // namespace

AVDictionary* Collect(const AVDictionary* file, const AVDictionary* stream, Stale stale)
{
    AVDictionary* tags = nullptr;
    copyTags(&tags, file, stale);
    copyTags(&tags, stream, stale);
    return tags;
}

void ForTrack(AVDictionary** tags, bool partOfImage, const std::vector<std::pair<std::string, std::string>>& given)
{
    if (partOfImage) {
        av_dict_set(tags, "CUESHEET", nullptr, 0);
        // One removal per pass: removing shifts the entries after it.
        while (const AVDictionaryEntry* e = av_dict_get(*tags, "REPLAYGAIN_TRACK_", nullptr, AV_DICT_IGNORE_SUFFIX))
            av_dict_set(tags, e->key, nullptr, 0);
    }
    for (const auto& [key, value] : given)
        av_dict_set(tags, key.c_str(), value.empty() ? nullptr : value.c_str(), 0);
}

std::string PictureBlock(const Picture& p)
{
    std::string out;
    put32(out, p.type);
    put32(out, static_cast<uint32_t>(p.mime.size()));
    out += p.mime;
    put32(out, static_cast<uint32_t>(p.description.size()));
    out += p.description;
    put32(out, p.width);
    put32(out, p.height);
    put32(out, p.depth);
    put32(out, 0); // colours: none for a picture without a palette
    put32(out, static_cast<uint32_t>(p.data.size()));
    out += p.data;
    return out;
}

std::string Base64(const std::string& bytes)
{
    std::string out(AV_BASE64_SIZE(bytes.size()), '\0');
    if (!av_base64_encode(out.data(), static_cast<int>(out.size()), reinterpret_cast<const uint8_t*>(bytes.data()),
                          static_cast<int>(bytes.size())))
        return {};
    out.resize(std::strlen(out.c_str()));
    return out;
}

std::string PictureMime(AVCodecID codec)
{
    switch (codec) {
    case AV_CODEC_ID_MJPEG:
        return "image/jpeg";
    case AV_CODEC_ID_PNG:
        return "image/png";
    default:
        return {};
    }
}

uint32_t PictureType(const char* comment)
{
    if (comment) {
        for (uint32_t i = 0; i < sizeof kTypeNames / sizeof kTypeNames[0]; ++i) {
            if (!strcasecmp(comment, kTypeNames[i]))
                return i;
        }
    }
    return 3;
}

} // namespace Tags
