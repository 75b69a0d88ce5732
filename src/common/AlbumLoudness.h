#pragma once

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

// The loudness of an album from its tracks' gating blocks (the "blocks" record lines, ToolRecord.h):
// BS.1770's gating over the union of the blocks, as if the tracks played as one file. Averaging the
// tracks' own figures would not do: a quiet track's blocks fall below the relative gate of a loud
// album and do not count at all.
namespace AlbumLoudness {

inline constexpr double kAbsoluteGate = -70.0; // LUFS
inline constexpr double kRelativeGate = -10.0; // LU below the mean of the blocks above the absolute gate

inline double Energy(double lufs)
{
    return std::pow(10.0, (lufs + 0.691) / 10.0);
}

inline double Lufs(double energy)
{
    return 10.0 * std::log10(energy) - 0.691;
}

// Each track's block loudnesses in LUFS. Nothing when no block passes the absolute gate: a silent or
// too short album has no loudness.
inline std::optional<double> Of(const std::vector<std::vector<double>>& tracks)
{
    const double absolute = Energy(kAbsoluteGate);
    double sum = 0;
    long long count = 0;
    for (const std::vector<double>& blocks : tracks) {
        for (double lufs : blocks) {
            if (const double e = Energy(lufs); e >= absolute) {
                sum += e;
                ++count;
            }
        }
    }
    if (count == 0)
        return std::nullopt;
    const double relative = std::max(absolute, sum / double(count) * std::pow(10.0, kRelativeGate / 10.0));
    double gated = 0;
    long long kept = 0;
    for (const std::vector<double>& blocks : tracks) {
        for (double lufs : blocks) {
            if (const double e = Energy(lufs); e >= relative) {
                gated += e;
                ++kept;
            }
        }
    }
    return Lufs(gated / double(kept));
}

} // namespace AlbumLoudness
