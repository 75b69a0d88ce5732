#pragma once

#include <charconv>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the conversion tool tells the program apart from its console: lines of ASCII on a descriptor
// of their own, each ended by "\n". The program opts in by setting kEnvironment to "3" and giving the
// tool a pipe on descriptor 3; without that the tool writes nothing there, so a descriptor 3 a shell
// handed down is never touched, and a tool of the user's own that knows nothing of it still works.
//
//   name COUNTER MAPPED   after the output was moved into place: COUNTER is 1 when it took the name it
//                         was given, N >= 2 when it took "NAME (N).EXT" because the name was taken
//                         meanwhile; MAPPED is 1 when characters the target file system refuses were
//                         replaced (FatName), else 0. Never the name itself: names may hold newlines
//                         and bytes that are not UTF-8.
//   end STATUS            one job of a tool process that converts several files has ended.
//
// A loudness analysis (conv.exe -i INPUT [-ss -t -ar -ac -acodec] -analyse sample_peak|true_peak OUTPUT)
// decodes the input and measures it as the conversion to OUTPUT would hand it to the encoder (after
// the cut, the resampler and the channel change; OUTPUT names the format only). It writes no file and
// no name line; it ends with these, every number in the C locale:
//
//   blocks L1 ... Ln      the gating blocks of BS.1770, in order, at most kBlocksPerLine to a line (so a
//                         line stays under 1 KiB however long the file): the loudness of each 400 ms
//                         window, one every 100 ms, that passes the absolute gate (-70 LUFS), in LUFS
//                         with 4 decimals. Quieter windows are left out: no gating counts them. Several
//                         lines add up; an album's loudness is AlbumLoudness::Of over its tracks' blocks.
//   loudness I SP TP N    the last line of an analysis. I is the integrated loudness in LUFS (4
//                         decimals), or "short" when the audio is shorter than one 400 ms window, or
//                         "silent" when no window passes the gate: such a file gets no gain and no
//                         tags. SP is the sample peak and TP the true peak as linear values (1 is full
//                         scale; 6 decimals), TP "-" when it was not asked for. N is how many blocks
//                         the lines before gave, so a reader can tell it has them all.
//
// An analysis also gives the input's tags, the file's and its audio stream's as the conversion would
// copy them, before its "blocks" lines, so what needs both (an album by its tags) takes one pass:
//
//   tag KEY VALUE         one tag; KEY in lower case, KEY and VALUE percent-coded (every byte outside
//                         "!" to "~", and "%" itself, as %XX), so a value with spaces, newlines or bytes
//                         that are not UTF-8 stays on its line. Values longer than kMaxTagBytes (lyrics,
//                         a cue sheet) are left out.
//
// Parse reads only the name and end lines, ParseBlocks and ParseLoudness the analysis's: a reader that
// knows only the first ignores the others (and one that takes every entry but a name for an end stays
// right). Readers ignore lines they do not know, so later tools can
// say more.
namespace ToolRecord {

inline constexpr const char* kEnvironment = "VELTRA_TOOL_RECORD";
inline constexpr int kDescriptor = 3;

struct Entry
{
    enum class Kind { Name, End };
    Kind kind = Kind::Name;
    int counter = 1; // Name
    bool mapped = false;
    int status = 0; // End
};

// True when the tool was asked for records (the variable names descriptor 3).
inline bool Requested()
{
    const char* value = std::getenv(kEnvironment);
    return value && std::string_view(value) == "3";
}

inline std::string NameLine(int counter, bool mapped)
{
    return "name " + std::to_string(counter) + (mapped ? " 1\n" : " 0\n");
}

inline std::string EndLine(int status)
{
    return "end " + std::to_string(status) + "\n";
}

inline constexpr std::size_t kBlocksPerLine = 100;

struct Loudness
{
    enum class Kind { Measured, Short, Silent };
    Kind kind = Kind::Measured;
    double integrated = 0;          // LUFS, when Measured
    double samplePeak = 0;          // linear
    std::optional<double> truePeak; // linear, when asked for
    std::size_t blocks = 0;         // how many blocks the lines before gave
};

namespace detail {
inline std::string fixed(double value, int decimals)
{
    char text[64];
    const auto done = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
    return done.ec == std::errc() ? std::string(text, done.ptr) : std::string("0");
}

// [-]DIGITS[.DIGITS], at most 16 characters: nothing else reads, "inf" and "1e5" included.
inline std::optional<double> decimal(std::string_view s)
{
    const std::string_view digits = !s.empty() && s[0] == '-' ? s.substr(1) : s;
    if (digits.empty() || s.size() > 16 || digits[0] == '.' || digits.back() == '.')
        return std::nullopt;
    bool point = false;
    for (char c : digits) {
        if (c == '.' && !point)
            point = true;
        else if (c < '0' || c > '9')
            return std::nullopt;
    }
    double value = 0;
    const auto done = std::from_chars(s.data(), s.data() + s.size(), value, std::chars_format::fixed);
    if (done.ec != std::errc() || done.ptr != s.data() + s.size())
        return std::nullopt;
    return value;
}

// The words of a line split at single spaces; an empty word (two spaces, a space at an end) gives none.
inline std::optional<std::vector<std::string_view>> words(std::string_view line)
{
    std::vector<std::string_view> out;
    for (std::size_t at = 0;;) {
        const std::size_t space = line.find(' ', at);
        const std::string_view word = line.substr(at, space == std::string_view::npos ? line.npos : space - at);
        if (word.empty())
            return std::nullopt;
        out.push_back(word);
        if (space == std::string_view::npos)
            return out;
        at = space + 1;
    }
}

// A decimal number of at most 9 digits with nothing around it.
inline std::optional<int> number(std::string_view s)
{
    if (s.empty() || s.size() > 9)
        return std::nullopt;
    int n = 0;
    for (char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + (c - '0');
    }
    return n;
}
} // namespace detail

// The analysis's lines for the blocks given (LUFS) and its result.
inline std::string BlocksLines(const std::vector<double>& blocks)
{
    std::string lines;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        lines += i % kBlocksPerLine == 0 ? "blocks " : " ";
        lines += detail::fixed(blocks[i], 4);
        if (i % kBlocksPerLine == kBlocksPerLine - 1 || i + 1 == blocks.size())
            lines += "\n";
    }
    return lines;
}

inline std::string LoudnessLine(const Loudness& l)
{
    std::string line = "loudness ";
    line += l.kind == Loudness::Kind::Short    ? std::string("short")
            : l.kind == Loudness::Kind::Silent ? std::string("silent")
                                               : detail::fixed(l.integrated, 4);
    line += " " + detail::fixed(l.samplePeak, 6);
    line += " " + (l.truePeak ? detail::fixed(*l.truePeak, 6) : std::string("-"));
    return line + " " + std::to_string(l.blocks) + "\n";
}

// A "blocks" line without its "\n": appends its values to into and returns true; false, leaving into
// as it was, for a line of another shape.
inline bool ParseBlocks(std::string_view line, std::vector<double>& into)
{
    if (line.substr(0, 7) != "blocks ")
        return false;
    const auto values = detail::words(line.substr(7));
    if (!values || values->size() > kBlocksPerLine)
        return false;
    std::vector<double> read;
    for (std::string_view v : *values) {
        const auto value = detail::decimal(v);
        if (!value)
            return false;
        read.push_back(*value);
    }
    into.insert(into.end(), read.begin(), read.end());
    return true;
}

inline constexpr std::size_t kMaxTagBytes = 1024;

namespace detail {
inline std::string percentCoded(std::string_view bytes)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (c > ' ' && c < 0x7f && c != '%') {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

inline std::optional<std::string> percentDecoded(std::string_view text)
{
    const auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                      : -1;
    };
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        const int high = digit(text[i + 1]);
        const int low = digit(text[i + 2]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out += char(high * 16 + low);
        i += 2;
    }
    return out;
}
} // namespace detail

// The tag line of one tag, lower-casing its key; empty for an empty value or one too long to give.
inline std::string TagLine(std::string_view key, std::string_view value)
{
    if (value.empty() || value.size() > kMaxTagBytes || key.empty())
        return {};
    std::string lower(key);
    for (char& c : lower)
        c = c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
    return "tag " + detail::percentCoded(lower) + " " + detail::percentCoded(value) + "\n";
}

// A "tag" line without its "\n": the key and the value; nothing for a line of another shape.
inline std::optional<std::pair<std::string, std::string>> ParseTag(std::string_view line)
{
    if (line.substr(0, 4) != "tag ")
        return std::nullopt;
    const auto w = detail::words(line.substr(4));
    if (!w || w->size() != 2)
        return std::nullopt;
    auto key = detail::percentDecoded((*w)[0]);
    auto value = detail::percentDecoded((*w)[1]);
    if (!key || !value || key->empty())
        return std::nullopt;
    return std::make_pair(std::move(*key), std::move(*value));
}

// A "loudness" line without its "\n"; nothing for a line of another shape.
inline std::optional<Loudness> ParseLoudness(std::string_view line)
{
    if (line.substr(0, 9) != "loudness ")
        return std::nullopt;
    const auto w = detail::words(line.substr(9));
    if (!w || w->size() != 4)
        return std::nullopt;
    Loudness l;
    if ((*w)[0] == "short") {
        l.kind = Loudness::Kind::Short;
    } else if ((*w)[0] == "silent") {
        l.kind = Loudness::Kind::Silent;
    } else if (const auto integrated = detail::decimal((*w)[0])) {
        l.integrated = *integrated;
    } else {
        return std::nullopt;
    }
    const auto sample = detail::decimal((*w)[1]);
    const auto blocks = detail::number((*w)[3]);
    if (!sample || *sample < 0 || !blocks)
        return std::nullopt;
    l.samplePeak = *sample;
    l.blocks = std::size_t(*blocks);
    if ((*w)[2] != "-") {
        const auto truePeak = detail::decimal((*w)[2]);
        if (!truePeak || *truePeak < 0)
            return std::nullopt;
        l.truePeak = *truePeak;
    }
    return l;
}

// One line without its "\n"; nothing for a line of another shape.
inline std::optional<Entry> Parse(std::string_view line)
{
    Entry e;
    if (line.substr(0, 5) == "name ") {
        const std::string_view rest = line.substr(5);
        const size_t space = rest.find(' ');
        if (space == std::string_view::npos)
            return std::nullopt;
        const auto counter = detail::number(rest.substr(0, space));
        const std::string_view mapped = rest.substr(space + 1);
        if (!counter || *counter < 1 || (mapped != "0" && mapped != "1"))
            return std::nullopt;
        e.kind = Entry::Kind::Name;
        e.counter = *counter;
        e.mapped = mapped == "1";
        return e;
    }
    if (line.substr(0, 4) == "end ") {
        const auto status = detail::number(line.substr(4));
        if (!status)
            return std::nullopt;
        e.kind = Entry::Kind::End;
        e.status = *status;
        return e;
    }
    return std::nullopt;
}

} // namespace ToolRecord
