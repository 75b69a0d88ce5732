#pragma once

#include <cstdint>
#include <string>

// The console lines the program reads its progress from, written as FFmpeg writes them.
namespace ConsoleLines {

// "HH:MM:SS.cc" for a time in microseconds (negative counts as 0), rounded to the hundredth or cut.
std::string Clock(int64_t micros, bool rounded);

// "  Duration: 00:03:25.40, start: 0.000000, bitrate: 1411 kb/s" (N/A for what is unknown: a
// negative value).
std::string Duration(int64_t durationMicros, int64_t startMicros, int64_t bitRate);

// "size=     612kB time=00:00:39.18 bitrate= 128.0kbits/s speed=38.9x    " followed by "\r", or "\n"
// for the last line.
std::string Stats(int64_t bytes, int64_t positionMicros, double wallSeconds, bool last);

} // namespace ConsoleLines
