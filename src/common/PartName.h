#pragma once

#include <string>
#include <string_view>

// How the conversion tool names the file it writes before the output is complete:
// ".NAME.part-PID-XXXXXX" beside the output, where NAME is the output's file name and PID the tool's
// process id. The program uses the same rule to find what a tool it stopped or lost left behind, and the
// process id lets it remove only that tool's part file, never the live one of a tool another window
// runs into the same folder. NAME is cut (at a character boundary) so the whole name fits the file
// system's 255 bytes.
namespace PartName {

inline constexpr const char* kSuffix = ".part-";
inline constexpr size_t kMaxName = 255;
inline constexpr size_t kRandom = 6; // the XXXXXX

// ".part-PID-": what follows NAME.
inline std::string Tag(long pid)
{
    return kSuffix + std::to_string(pid) + "-";
}

// ".NAME.part-PID-" for an output file name (no folder).
inline std::string Prefix(const std::string& outputFileName, long pid)
{
    const std::string tag = Tag(pid);
    const size_t room = kMaxName - 1 - tag.size() - kRandom;
    std::string name = outputFileName.substr(0, room);
    // Never end inside a multi-byte character.
    if (name.size() < outputFileName.size()) {
        while (!name.empty() && (static_cast<unsigned char>(outputFileName[name.size()]) & 0xC0) == 0x80)
            name.pop_back();
    }
    return "." + name + tag;
}

// True for a part file of the tool with this process id, whatever output it was for (the tool may have
// changed the name for a file system that refuses some characters).
inline bool IsPartOf(std::string_view fileName, long pid)
{
    const std::string tag = Tag(pid);
    if (fileName.size() < 1 + tag.size() + kRandom || fileName.front() != '.')
        return false;
    return fileName.substr(fileName.size() - kRandom - tag.size(), tag.size()) == tag;
}

} // namespace PartName
