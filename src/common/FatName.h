#pragma once

#include <string>

// The characters FAT, exFAT and NTFS refuse in a file name, and the name such a stick takes instead.
// The tool decides by trying (a FUSE file system tells nothing of its rules); the program applies the
// same mapping to learn the name the tool actually wrote.
namespace FatName {

inline bool IsRefused(unsigned char c)
{
    switch (c) {
    case '\\':
    case ':':
    case '*':
    case '?':
    case '"':
    case '<':
    case '>':
    case '|':
        return true;
    default:
        return c < 0x20 || c == 0x7F;
    }
}

// True when Map would change the name.
inline bool NeedsMapping(const std::string& name)
{
    for (char c : name) {
        if (IsRefused(static_cast<unsigned char>(c)))
            return true;
    }
    return !name.empty() && (name.back() == '.' || name.back() == ' ');
}

// Each refused character becomes "_"; trailing dots and spaces go (such a stick drops or refuses them).
inline std::string Map(const std::string& name)
{
    std::string out = name;
    for (char& c : out) {
        if (IsRefused(static_cast<unsigned char>(c)))
            c = '_';
    }
    while (!out.empty() && (out.back() == '.' || out.back() == ' '))
        out.pop_back();
    return out.empty() ? std::string("_") : out;
}

} // namespace FatName
