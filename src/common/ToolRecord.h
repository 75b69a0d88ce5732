#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

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
// Readers ignore lines they do not know, so later tools can say more.
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

namespace detail {
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
