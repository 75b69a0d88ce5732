#include "GainTags.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <strings.h>

namespace GainTags {

namespace {
constexpr const char* kKeys[] = {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_ALBUM_GAIN",
                                 "REPLAYGAIN_ALBUM_PEAK"};
// ReplayGain 2.0's reference level, and Opus's (RFC 7845 5.2.1).
constexpr double kReplayGainLufs = -18.0;
constexpr double kOpusLufs = -23.0;

bool named(const AVOutputFormat* f, const char* name)
{
    return f && f->name && !std::strcmp(f->name, name);
}

bool isGain(const std::string& key)
{
    return key.size() > 5 && key.compare(key.size() - 5, 5, "_GAIN") == 0;
}

// A plain decimal, then the unit: "-6.52 dB" for a gain, "0.988553" for a peak.
bool readsAs(const std::string& value, const char* unit, double* out)
{
    const size_t unitBytes = std::strlen(unit);
    if (value.size() <= unitBytes || value.compare(value.size() - unitBytes, unitBytes, unit) != 0)
        return false;
    const char* end = value.data() + value.size() - unitBytes;
    const auto done = std::from_chars(value.data(), end, *out, std::chars_format::fixed);
    return done.ec == std::errc() && done.ptr == end && std::isfinite(*out);
}

std::string lower(std::string s)
{
    for (char& c : s)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// A ReplayGain gain as Opus's R128 gain: the same loudness, as a Q7.8 step relative to -23 LUFS.
std::string r128(const std::string& gain)
{
    double db = 0;
    readsAs(gain, " dB", &db);
    const double q78 = std::nearbyint((db + kOpusLufs - kReplayGainLufs) * 256.0);
    return std::to_string(int(std::clamp(q78, -32768.0, 32767.0)));
}
} // namespace

bool IsKey(const std::string& key)
{
    for (const char* k : kKeys) {
        if (key == k)
            return true;
    }
    return false;
}

void Check(const Values& values)
{
    for (const auto& [key, value] : values) {
        double v = 0;
        const bool gain = isGain(key);
        if (gain ? !readsAs(value, " dB", &v) || std::fabs(v) > 99 : !readsAs(value, "", &v) || v < 0)
            throw LibAv::Failure{"invalid " + key + " \"" + value + "\": it takes " +
                                 (gain ? "a gain such as \"-6.52 dB\"" : "a peak such as \"0.988553\"")};
    }
}

Style StyleOf(const AVOutputFormat* container, AVCodecID codec)
{
    if (codec == AV_CODEC_ID_OPUS)
        return named(container, "opus") || named(container, "ogg") ? Style::Opus : Style::None;
    if (named(container, "ipod"))
        return Style::Freeform;
    for (const char* name : {"mp3", "ogg", "oga", "flac", "asf", "asf_stream"}) {
        if (named(container, name))
            return Style::Plain;
    }
    return Style::None;
}

Values For(Style style, const Values& values)
{
    Values out;
    for (const auto& [key, value] : values) {
        switch (style) {
        case Style::Plain:
            out.emplace_back(key, value);
            break;
        case Style::Opus:
            if (isGain(key))
                out.emplace_back(key == "REPLAYGAIN_TRACK_GAIN" ? "R128_TRACK_GAIN" : "R128_ALBUM_GAIN", r128(value));
            break;
        case Style::Freeform:
            out.emplace_back(lower(key), value);
            break;
        case Style::None:
            break;
        }
    }
    return out;
}

bool IsReplayGainTag(const char* key)
{
    return !strncasecmp(key, "REPLAYGAIN_", 11);
}

bool IsGainTag(const char* key)
{
    return IsReplayGainTag(key) || !strncasecmp(key, "R128_", 5);
}

} // namespace GainTags
