#include "Gain.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace Gain {

namespace {
// More than any album needs, and a factor that never overflows a double sum.
constexpr double kLargestDb = 99;

template <typename T> void scaleInteger(uint8_t* data, int count, double factor, double offset = 0)
{
    auto* s = reinterpret_cast<T*>(data);
    constexpr double lo = double(std::numeric_limits<T>::min());
    // The largest 64-bit integer has no double: the nearest is one past it.
    constexpr double hi = sizeof(T) < 8 ? double(std::numeric_limits<T>::max()) : 9.2e18;
    for (int i = 0; i < count; ++i) {
        const double v = std::nearbyint((double(s[i]) - offset) * factor + offset);
        s[i] = T(std::clamp(v, lo, hi));
    }
}

template <typename T> void scaleFloat(uint8_t* data, int count, double factor)
{
    auto* s = reinterpret_cast<T*>(data);
    for (int i = 0; i < count; ++i)
        s[i] = T(s[i] * factor);
}
} // namespace

std::optional<double> FromFilter(const std::string& filter)
{
    const std::string head = "volume=";
    const std::string tail = "dB";
    if (filter.size() <= head.size() + tail.size() || filter.compare(0, head.size(), head) != 0 ||
        filter.compare(filter.size() - tail.size(), tail.size(), tail) != 0)
        return std::nullopt;
    const char* from = filter.data() + head.size();
    const char* to = filter.data() + filter.size() - tail.size();
    // A plain decimal: from_chars with fixed takes no exponent, "inf" or "nan" is refused below.
    double db = 0;
    const auto done = std::from_chars(from, to, db, std::chars_format::fixed);
    if (done.ec != std::errc() || done.ptr != to || !std::isfinite(db) || std::fabs(db) > kLargestDb)
        return std::nullopt;
    return db;
}

void Apply(AVFrame* frame, double factor)
{
    const auto format = AVSampleFormat(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const int planes = planar ? frame->ch_layout.nb_channels : 1;
    const int count = frame->nb_samples * (planar ? 1 : frame->ch_layout.nb_channels);
    for (int p = 0; p < planes; ++p) {
        uint8_t* data = frame->extended_data[p];
        switch (av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_U8:
            scaleInteger<uint8_t>(data, count, factor, 128);
            break;
        case AV_SAMPLE_FMT_S16:
            scaleInteger<int16_t>(data, count, factor);
            break;
        case AV_SAMPLE_FMT_S32:
            scaleInteger<int32_t>(data, count, factor);
            break;
        case AV_SAMPLE_FMT_S64:
            scaleInteger<int64_t>(data, count, factor);
            break;
        case AV_SAMPLE_FMT_FLT:
            scaleFloat<float>(data, count, factor);
            break;
        case AV_SAMPLE_FMT_DBL:
            scaleFloat<double>(data, count, factor);
            break;
        default:
            break;
        }
    }
}

} // namespace Gain
