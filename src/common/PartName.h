#pragma once

#include <string>

// How the conversion tool names the file it writes before the output is complete: ".NAME.part-XXXXXX"
// beside the output, where NAME is the output's file name. The program uses the same rule to find a
// part file left behind by a tool that was killed. NAME is cut (at a character boundary) so the whole
// name fits the file system's 255 bytes.
namespace PartName {

inline constexpr const char* kSuffix = ".part-";
inline constexpr size_t kMaxName = 255;
inline constexpr size_t kRandom = 6; // the XXXXXX

// ".NAME.part-" for an output file name (no folder).
inline std::string Prefix(const std::string& outputFileName)
{
    const size_t room = kMaxName - 1 - std::char_traits<char>::length(kSuffix) - kRandom;
    std::string name = outputFileName.substr(0, room);
    // Never end inside a multi-byte character.
    if (name.size() < outputFileName.size()) {
        while (!name.empty() && (static_cast<unsigned char>(outputFileName[name.size()]) & 0xC0) == 0x80)
            name.pop_back();
    }
    return "." + name + kSuffix;
}

} // namespace PartName
