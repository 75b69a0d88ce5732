// What the tool's loudness analysis costs on one core: a 4-minute 44.1 kHz stereo FLAC file (pink noise)
// analysed with the sample peak and with the true peak, beside a plain conversion of the same file to WAV
// (the decode and little else), the three alternating run by run. The figure is the processor time of the
// tool (user and system), which a busy machine changes far less than the time on the clock.
#include "BenchRun.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {} // namespace

int main(int argc, char** argv)
{
    const std::string tool = argc > 1 ? argv[1] : std::string(VELTRA_CONV_TOOL);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    char scratch[] = "/tmp/loudness-bench-XXXXXX";
    if (!mkdtemp(scratch))
        return 1;
    const std::string dir = scratch;
    const std::string flac = dir + "/4min.flac";
    if (!BenchRun::Quiet({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                          "anoisesrc=color=pink:amplitude=0.3:duration=240", "-ac", "2", "-ar", "44100", "-sample_fmt",
                          "s16", flac})
             .ok) {
        std::printf("cannot make the input with ffmpeg\n");
        return 1;
    }
    struct Kind
    {
        const char* name;
        std::vector<std::string> args;
        std::vector<double> seconds;
    };
    Kind kinds[] = {{"conversion to WAV", {tool, "-i", flac, "-y", dir + "/out.wav"}, {}},
                    {"analysis, sample peak", {tool, "-i", flac, "-analyse", "sample_peak", dir + "/out.flac"}, {}},
                    {"analysis, true peak", {tool, "-i", flac, "-analyse", "true_peak", dir + "/out.flac"}, {}}};
    std::printf("tool: %s; a 4-minute 44.1 kHz stereo FLAC file, %d runs of each, alternating\n", tool.c_str(), runs);
    for (int run = 0; run < runs; ++run) {
        for (Kind& k : kinds) {
            const BenchRun::Ran r = BenchRun::Quiet(k.args);
            const double s = r.ok ? r.cpu : -1;
            if (s < 0)
                std::printf("  %s failed\n", k.name);
            else
                k.seconds.push_back(s);
        }
    }
    for (const Kind& k : kinds) {
        if (!k.seconds.empty())
            std::printf("%-22s %.3f s of processor time (median)\n", k.name, BenchRun::Median(k.seconds));
    }
    if (!kinds[0].seconds.empty() && !kinds[1].seconds.empty() && !kinds[2].seconds.empty()) {
        const double decode = BenchRun::Median(kinds[0].seconds);
        const double loudness = BenchRun::Median(kinds[1].seconds) - decode;
        const double truePeak = BenchRun::Median(kinds[2].seconds) - decode;
        std::printf("the measure beyond the decode: %.3f s with the sample peak, %.3f s with the true peak (%.1fx)\n",
                    loudness, truePeak, truePeak / loudness);
    }
    BenchRun::Quiet({"rm", "-rf", dir});
    return 0;
}
