#pragma once

#include "LibAv.h"

#include <string>
#include <utility>
#include <vector>

// ReplayGain 2.0 tags as each container keeps them. The program gives the four values in ReplayGain's
// own form (-metadata REPLAYGAIN_TRACK_GAIN="-6.52 dB", ..._TRACK_PEAK="0.988553", ..._ALBUM_GAIN,
// ..._ALBUM_PEAK), for the output as written (after any gain this tool applied), and this tool writes
// them as the output's players read them:
//   MP3 as ID3v2 TXXX frames, Ogg Vorbis and FLAC as Vorbis comments, WMA as ASF attributes, all four
//   under these keys;
//   Opus as R128_TRACK_GAIN and R128_ALBUM_GAIN, Q7.8 integers relative to -23 LUFS (RFC 7845; the
//   header's output gain stays 0), no peaks;
//   M4A as freeform atoms ----:com.apple.iTunes:replaygain_track_gain ..., which the index step writes
//   (FFmpeg's muxer drops them);
//   WAV, AAC, AC3 and AMR keep none: a note says so.
namespace GainTags {

enum class Style { None, Plain, Opus, Freeform };

// Ordered as the container lists them.
using Values = std::vector<std::pair<std::string, std::string>>;

// True for the four keys this tool writes itself.
bool IsKey(const std::string& key);

// Throws LibAv::Failure naming a value that is not of its key's form ("-6.52 dB", "0.988553").
void Check(const Values& values);

// How a container with this encoder keeps gain tags.
Style StyleOf(const AVOutputFormat* container, AVCodecID codec);

// The tags a container of the style gets: the keys as given, Opus's R128 pair, M4A's lower-case names.
Values For(Style style, const Values& values);

// True for a tag of the input that says how loud its audio was (REPLAYGAIN_*, R128_*, any case).
bool IsGainTag(const char* key);
bool IsReplayGainTag(const char* key);

} // namespace GainTags
