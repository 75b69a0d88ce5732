#include "ConsoleLines.h"

#include <cinttypes>
#include <cstdio>

namespace ConsoleLines {

std::string Clock(int64_t micros, bool rounded)
{
    if (micros < 0)
        micros = 0;
    if (rounded)
        micros += 5000;
    const int64_t secs = micros / 1000000;
    const int64_t cents = (micros % 1000000) / 10000;
    char text[48];
    std::snprintf(text, sizeof text, "%02" PRId64 ":%02d:%02d.%02d", secs / 3600, int(secs / 60 % 60), int(secs % 60),
                  int(cents));
    return text;
}

std::string Duration(int64_t durationMicros, int64_t startMicros, int64_t bitRate)
{
    std::string line = "  Duration: " + (durationMicros >= 0 ? Clock(durationMicros, true) : std::string("N/A"));
    char rest[96];
    if (startMicros >= 0) {
        std::snprintf(rest, sizeof rest, ", start: %d.%06d", int(startMicros / 1000000), int(startMicros % 1000000));
        line += rest;
    }
    if (bitRate > 0)
        std::snprintf(rest, sizeof rest, ", bitrate: %" PRId64 " kb/s", bitRate / 1000);
    else
        std::snprintf(rest, sizeof rest, ", bitrate: N/A");
    line += rest;
    return line + "\n";
}

std::string Stats(int64_t bytes, int64_t positionMicros, double wallSeconds, bool last)
{
    const double seconds = positionMicros / 1e6;
    char bitrate[32];
    if (seconds > 0)
        std::snprintf(bitrate, sizeof bitrate, "%6.1fkbits/s", bytes * 8 / seconds / 1000);
    else
        std::snprintf(bitrate, sizeof bitrate, "N/A");
    char speed[32];
    if (wallSeconds > 0 && seconds > 0)
        std::snprintf(speed, sizeof speed, "%4.3gx", seconds / wallSeconds);
    else
        std::snprintf(speed, sizeof speed, "N/A");
    char line[160];
    // The position in a line by itself is read as "time=" followed by the clock and a space.
    std::snprintf(line, sizeof line, "size=%8.0fkB time=%s bitrate=%s speed=%s    %c", bytes / 1024.0,
                  Clock(positionMicros, false).c_str(), bitrate, speed, last ? '\n' : '\r');
    return line;
}

} // namespace ConsoleLines
