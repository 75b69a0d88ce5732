#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

// What the conversion tool needs to know of its FFmpeg-style arguments.
namespace ToolArgs {

struct Parsed
{
    std::string input;      // after -i
    std::string output;     // the last argument that is not an option's value
    std::string start;      // after -ss, empty when not given
    std::string length;     // after -t, empty when not given
    std::string range;      // after -range (SampleRange.h): an album image's track, empty when not given
    std::string bitrate;    // after -ab (or -b:a), empty when not given
    std::string sampleRate; // after -ar
    std::string channels;   // after -ac
    std::string codec;      // after -acodec (or -c:a, -codec:a)
    // After each -metadata KEY=VALUE, in order: tags the output takes over the input's own (an album
    // image's track gets its cue sheet's); an empty value removes the input's tag.
    std::vector<std::pair<std::string, std::string>> metadata;
    bool overwrite = false; // -y
    bool keepDate = false;  // -keep_date: the output's modification time is the input's
    // After -af "volume=GAINdB": the gain applied before the encoder.
    std::optional<double> gainDb;
    // -metadata KEY=VALUE for the ReplayGain keys (GainTags), in order, the last of a key winning.
    std::vector<std::pair<std::string, std::string>> gainTags;
    // After -analyse ("sample_peak" or "true_peak"): measure the loudness the output would have and
    // write no file (ToolRecord.h); the output names the format only.
    std::string analyse;
    // Every argument is one this tool converts by itself: -i, -ss, -t, -range, -y, -vn, -ab, -ar, -ac,
    // -acodec, -af with exactly "volume=GAINdB", -metadata (a global tag only; a ReplayGain key is a gain
    // tag), -analyse, -keep_date and the output last. Anything else goes to FFmpeg's own program unchanged.
    bool ownInterface = true;
};

Parsed Parse(const std::vector<std::string>& args);

// True when the output is an AMR file (".amr", any case).
bool WantsAmr(const Parsed& parsed);

// The AMR-NB mode (0 = 4.75k ... 7 = 12.2k) a bitrate such as "7.4k", "7400" or "12.2k" names; nothing for
// a rate AMR-NB does not have.
std::optional<int> AmrMode(const std::string& bitrate);

// The rates AMR-NB has, for messages: "4.75k, 5.15k, ..., 12.2k".
std::string AmrRates();

// A bit rate such as "192k", "192000" or "1.5M" in bits per second; nothing when it does not read.
std::optional<long long> BitRate(const std::string& text);

// A positive whole number ("44100", "2"); nothing otherwise.
std::optional<int> PositiveInt(const std::string& text);

} // namespace ToolArgs
