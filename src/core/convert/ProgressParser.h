#pragma once

#include "settings/OptionSettings.h"

#include <QString>
#include <optional>

// Turns the conversion tool's console output into a progress display. Each piece is read by itself:
// a marker split between two pieces is seen in neither. Only the length survives from piece to piece.
namespace ProgressParser {

constexpr int kBarFullWidth = 361; // pixels

struct Display
{
    int barWidth = 0; // 0 .. kBarFullWidth
    QString caption;  // "12.3%", "100%"
};

// The length of the input in whole seconds read from a "Duration: " marker ("00:03:25.40" gives 205,
// halves to even; FFmpeg's comma after the seconds is tolerated); 0 when the piece holds none that reads.
qint32 DurationSeconds(const QString& piece);

// The elapsed seconds of the first "time=" report in the piece, in plain seconds ("83.45") or
// hours:minutes:seconds ("00:01:23.45"); nothing when the piece holds no report. "time=N/A" is none,
// and neither is a marker that ends the piece.
std::optional<qint32> ElapsedSeconds(const QString& piece);

// The caption for a percentage below 100: its first four characters as a plain decimal, then "%".
QString Caption(double percent);

// One piece of output: fills totalSeconds while it is 0 (the cut length when the cutter is on), and
// returns the display for a "time=" report. Nothing to show while the length is still unknown.
std::optional<Display> Parse(const QString& piece, qint32& totalSeconds, const OptionSettings& options);

} // namespace ProgressParser
