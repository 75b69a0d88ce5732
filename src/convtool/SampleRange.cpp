#include "SampleRange.h"

#include <algorithm>
#include <cmath>

namespace SampleRange {

namespace {
// Past any real input (about 13 years at 384 kHz); keeps the arithmetic below far from overflowing.
constexpr int64_t kMaxSamples = int64_t(1) << 47;

// "132300" as samples, "3.000000" as seconds to the nearest sample: digits only, no sign, no exponent.
std::optional<int64_t> position(const std::string& text, int rate)
{
    if (text.empty() || text.size() > 30)
        return std::nullopt;
    const size_t dot = text.find('.');
    const std::string whole = text.substr(0, dot);
    const std::string fraction = dot == std::string::npos ? std::string() : text.substr(dot + 1);
    const auto digits = [](const std::string& s) {
        return std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
    };
    if (whole.empty() || whole.size() > 15 || !digits(whole) || !digits(fraction) || fraction.size() > 9 ||
        (dot != std::string::npos && fraction.empty()))
        return std::nullopt;
    const int64_t units = std::stoll(whole);
    if (dot == std::string::npos)
        return units <= kMaxSamples ? std::optional<int64_t>(units) : std::nullopt;
    int64_t scale = 1;
    for (size_t i = 0; i < fraction.size(); ++i)
        scale *= 10;
    if (units > kMaxSamples / rate)
        return std::nullopt;
    // Seconds * rate in whole numbers: the fraction's share rounded to the nearest sample.
    const int64_t part = std::stoll(fraction);
    return units * rate + (part * rate * 2 + scale) / (scale * 2);
}
} // namespace

std::optional<Window> Parse(const std::string& text, int rate)
{
    const size_t dash = text.find('-');
    if (dash == std::string::npos || rate <= 0 || rate > 10000000)
        return std::nullopt;
    const auto start = position(text.substr(0, dash), rate);
    if (!start)
        return std::nullopt;
    Window w;
    w.start = *start;
    const std::string last = text.substr(dash + 1);
    if (!last.empty()) {
        const auto end = position(last, rate);
        if (!end || *end <= *start)
            return std::nullopt;
        w.end = *end;
    }
    return w;
}

Window Cut(Window window, int64_t startMicros, int64_t lengthMicros, int rate)
{
    const auto samples = [rate](int64_t micros) {
        return std::min<int64_t>(kMaxSamples, std::llround(double(micros) / 1e6 * rate));
    };
    Window cut = window;
    cut.start = window.start + samples(std::max<int64_t>(0, startMicros));
    if (lengthMicros >= 0)
        cut.end = cut.start + samples(lengthMicros);
    if (window.end >= 0)
        cut.end = cut.end < 0 ? window.end : std::min(cut.end, window.end);
    return cut;
}

} // namespace SampleRange
