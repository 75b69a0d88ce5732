#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// An input's tags as our conversion tool hands them to the program for naming outputs, before the
// file converts: run with kProbeArguments before the input ("-tags -i INPUT"), alone or as a job, the
// tool reads only the input's header and writes one record line (ToolRecord.h) per tag it found:
//
//   tag FIELD VALUE    FIELD one of the names in kFields; VALUE the tag's bytes with every byte outside
//                      "!" to "~", and "%", written as "%XX" (upper-case hex), so the line is ASCII,
//                      holds no space or line break of the tag's, and reads back byte for byte. A value
//                      is at most kMaxValueBytes bytes, cut before a UTF-8 character that would pass.
//
// ToolRecord::Parse knows no "tag" line, so a reader older than these lines skips them.
namespace ToolTags {

inline constexpr const char* kProbeOption = "-tags";
// The fields, by the names a name pattern uses for them. track and disc are numbers where the tag
// holds one ("3/12" gives "3"), year the first four digits of the date.
inline constexpr const char* kFields[] = {"artist", "albumartist", "album", "title", "track", "disc", "year", "genre"};
inline constexpr size_t kMaxValueBytes = 1024;
// The longest line Line writes: "tag ", the longest field, " ", every byte as "%XX", "\n".
inline constexpr size_t kMaxLineBytes = 4 + 11 + 1 + 3 * kMaxValueBytes + 1;

struct Tag
{
    std::string field;
    std::string value; // the tag's bytes
};

namespace detail {
inline bool plain(unsigned char c)
{
    return c > ' ' && c <= '~' && c != '%';
}

inline int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

inline bool knownField(std::string_view field)
{
    for (const char* f : kFields) {
        if (field == f)
            return true;
    }
    return false;
}
} // namespace detail

// The record line for a tag, "" for an empty value or a field not in kFields.
inline std::string Line(std::string_view field, std::string_view value)
{
    if (value.empty() || !detail::knownField(field))
        return {};
    if (value.size() > kMaxValueBytes) {
        size_t cut = kMaxValueBytes;
        while (cut > 0 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80)
            --cut;
        value = value.substr(0, cut);
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string line = "tag ";
    line.append(field);
    line += ' ';
    for (char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (detail::plain(c)) {
            line += ch;
        } else {
            line += '%';
            line += kHex[c >> 4];
            line += kHex[c & 0x0F];
        }
    }
    line += '\n';
    return line;
}

// One line without its "\n"; nothing for a line of another shape, an unknown field or a bad escape.
inline std::optional<Tag> Parse(std::string_view line)
{
    if (line.size() > kMaxLineBytes || line.substr(0, 4) != "tag ")
        return std::nullopt;
    const std::string_view rest = line.substr(4);
    const size_t space = rest.find(' ');
    if (space == std::string_view::npos || !detail::knownField(rest.substr(0, space)))
        return std::nullopt;
    Tag tag{std::string(rest.substr(0, space)), {}};
    const std::string_view encoded = rest.substr(space + 1);
    for (size_t i = 0; i < encoded.size(); ++i) {
        const auto c = static_cast<unsigned char>(encoded[i]);
        if (c == '%') {
            if (i + 2 >= encoded.size())
                return std::nullopt;
            const int high = detail::hexValue(encoded[i + 1]);
            const int low = detail::hexValue(encoded[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            tag.value += static_cast<char>(high * 16 + low);
            i += 2;
        } else if (detail::plain(c)) {
            tag.value += static_cast<char>(c);
        } else {
            return std::nullopt;
        }
    }
    if (tag.value.empty())
        return std::nullopt;
    return tag;
}

} // namespace ToolTags
