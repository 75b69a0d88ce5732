#include "ToolArgs.h"

#include "Gain.h"
#include "GainTags.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>

namespace ToolArgs {

namespace {
struct Rate
{
    double bitsPerSecond;
    const char* text;
};
constexpr Rate kRates[] = {{4750, "4.75k"}, {5150, "5.15k"}, {5900, "5.9k"},   {6700, "6.7k"},
                           {7400, "7.4k"},  {7950, "7.95k"}, {10200, "10.2k"}, {12200, "12.2k"}};

// Options whose next argument is their value, as far as this tool must tell values from the output.
bool takesValue(const std::string& option)
{
    // Our own: an album image's track (SampleRange.h).
    if (option == "-range")
        return true;
    static const char* const withValue[] = {
        "-i", "-ss",  "-t",        "-to", "-ab",       "-b:a", "-ar", "-ac",     "-acodec", "-c:a",      "-codec:a",
        "-f", "-map", "-metadata", "-af", "-filter:a", "-q:a", "-aq", "-vcodec", "-c:v",    "-loglevel", "-v"};
    if (option == "-analyse")
        return true;
    return std::any_of(std::begin(withValue), std::end(withValue), [&](const char* o) { return option == o; });
}

// "KEY=VALUE" only: a stream's tags ("-metadata:s:a") are FFmpeg's business. A ReplayGain key is a gain
// tag, written in each format's own way; any other is a track's tag.
void addTag(Parsed& p, const std::string& v)
{
    const size_t eq = v.find('=');
    const std::string key = eq == std::string::npos ? std::string() : v.substr(0, eq);
    if (key.empty()) {
        p.ownInterface = false;
    } else if (GainTags::IsKey(key)) {
        std::erase_if(p.gainTags, [&](const auto& tag) { return tag.first == key; });
        p.gainTags.emplace_back(key, v.substr(eq + 1));
    } else {
        p.metadata.emplace_back(key, v.substr(eq + 1));
    }
}
} // namespace

Parsed Parse(const std::vector<std::string>& args)
{
    Parsed p;
    bool sawInput = false;
    size_t outputAt = args.size();
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasNext = i + 1 < args.size();
        if (a == "-y") {
            p.overwrite = true;
        } else if (a == "-keep_date") {
            p.keepDate = true;
        } else if (a == "-vn") {
            // No video is ever written; the flag changes nothing here.
        } else if (takesValue(a) && hasNext) {
            const std::string& v = args[++i];
            if (a == "-i") {
                p.ownInterface = p.ownInterface && !sawInput;
                sawInput = true;
                p.input = v;
            } else if (a == "-ss") {
                p.start = v;
            } else if (a == "-t") {
                p.length = v;
            } else if (a == "-range") {
                p.range = v;
            } else if (a == "-ab" || a == "-b:a") {
                p.bitrate = v;
            } else if (a == "-ar") {
                p.sampleRate = v;
            } else if (a == "-ac") {
                p.channels = v;
            } else if (a == "-metadata") {
                addTag(p, v);
            } else if (a == "-acodec" || a == "-c:a" || a == "-codec:a") {
                p.codec = v;
                p.ownInterface = p.ownInterface && v != "copy";
            } else if (a == "-af") {
                p.gainDb = Gain::FromFilter(v);
                p.ownInterface = p.ownInterface && p.gainDb;
            } else if (a == "-analyse") {
                p.analyse = v;
            } else {
                p.ownInterface = false;
            }
        } else if (a.empty() || a[0] != '-' || a == "-") {
            p.output = a;
            outputAt = i;
        } else {
            p.ownInterface = false;
        }
    }
    // One input, and the output last: "-" (standard output) and other layouts are FFmpeg's business.
    if (!sawInput || p.output.empty() || p.output == "-" || outputAt + 1 != args.size())
        p.ownInterface = false;
    return p;
}

bool WantsAmr(const Parsed& parsed)
{
    const std::string& o = parsed.output;
    if (o.size() < 4)
        return false;
    std::string ext = o.substr(o.size() - 4);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".amr";
}

std::optional<int> AmrMode(const std::string& bitrate)
{
    if (bitrate.empty())
        return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(bitrate.c_str(), &end);
    if (end == bitrate.c_str() || !std::isfinite(value))
        return std::nullopt;
    const std::string unit(end);
    if (unit == "k" || unit == "K")
        value *= 1000;
    else if (!unit.empty())
        return std::nullopt;
    for (int mode = 0; mode < int(std::size(kRates)); ++mode) {
        if (std::fabs(kRates[mode].bitsPerSecond - value) < 1)
            return mode;
    }
    return std::nullopt;
}

std::optional<long long> BitRate(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(value) || value <= 0)
        return std::nullopt;
    const std::string unit(end);
    if (unit == "k" || unit == "K")
        value *= 1000;
    else if (unit == "M")
        value *= 1000000;
    else if (!unit.empty())
        return std::nullopt;
    if (value > 1e9)
        return std::nullopt;
    return static_cast<long long>(std::llround(value));
}

std::optional<int> PositiveInt(const std::string& text)
{
    if (text.empty() || text.size() > 9 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    const int value = std::atoi(text.c_str());
    return value > 0 ? std::optional<int>(value) : std::nullopt;
}

std::string AmrRates()
{
    std::string all;
    for (const Rate& r : kRates) {
        if (!all.empty())
            all += ", ";
        all += r.text;
    }
    return all;
}

} // namespace ToolArgs
