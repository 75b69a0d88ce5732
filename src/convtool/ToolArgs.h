#pragma once

#include <optional>
#include <string>
#include <vector>

// What the conversion tool needs to know of its FFmpeg-style arguments.
namespace ToolArgs {

struct Parsed
{
    std::string input;      // after -i
    std::string output;     // the last argument that is not an option's value
    std::string start;      // after -ss, empty when not given
    std::string length;     // after -t, empty when not given
    std::string bitrate;    // after -ab (or -b:a), empty when not given
    bool overwrite = false; // -y
};

Parsed Parse(const std::vector<std::string>& args);

// True when the output is an AMR file (".amr", any case).
bool WantsAmr(const Parsed& parsed);

// The AMR-NB mode (0 = 4.75k ... 7 = 12.2k) a bitrate such as "7.4k", "7400" or "12.2k" names; nothing for
// a rate AMR-NB does not have.
std::optional<int> AmrMode(const std::string& bitrate);

// The rates AMR-NB has, for messages: "4.75k, 5.15k, ..., 12.2k".
std::string AmrRates();

} // namespace ToolArgs
