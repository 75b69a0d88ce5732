#pragma once

#include <cstdint>
#include <optional>
#include <string>

// Which samples of the input a conversion keeps, counted from the first sample a full decode gives:
// "-range FIRST-END" (an album image's track) and the music cutter's "-ss START -t LENGTH" inside it.
namespace SampleRange {

struct Window
{
    int64_t start = 0; // the first sample kept
    int64_t end = -1;  // one past the last; -1: to the end of the input
};

// "-range"'s value at the input's rate: FIRST-END, each whole samples ("132300") or seconds with a
// decimal point ("3.000000", exact to the sample at any rate a CD frame's 1/75 s needs), END empty for
// the end of the input. Nothing when it does not read, or ends before it starts.
std::optional<Window> Parse(const std::string& text, int rate);

// The music cutter inside a window: from startMicros after its start, at most lengthMicros long (-1:
// no limit).
Window Cut(Window window, int64_t startMicros, int64_t lengthMicros, int rate);

} // namespace SampleRange
