// The conversion tool against FFmpeg's own program on the same command lines: forty 3-second and ten
// 60-second WAV files to MP3 at 192k, one file after another, the two tools alternating run by run.
// Prints every run, the medians, their ratio and the peak memory of one tool process.
#include "BenchRun.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {
struct Set
{
    const char* name;
    int files;
    int seconds;
    std::vector<std::string> inputs;
};

} // namespace

int main(int argc, char** argv)
{
    // The tool to measure: the build's own, unless given.
    const std::string tool = argc > 1 ? argv[1] : std::string(VELTRA_CONV_TOOL);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    char scratch[] = "/tmp/convtool-bench-XXXXXX";
    if (!mkdtemp(scratch))
        return 1;
    const std::string dir = scratch;

    Set sets[] = {{"forty 3-second files", 40, 3, {}}, {"ten 60-second files", 10, 60, {}}};
    for (Set& set : sets) {
        for (int i = 0; i < set.files; ++i) {
            const std::string wav = dir + "/" + std::to_string(set.seconds) + "s-" + std::to_string(i) + ".wav";
            BenchRun::Quiet(
                {"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                 "sine=frequency=" + std::to_string(300 + 7 * i) + ":duration=" + std::to_string(set.seconds), "-ac",
                 "2", "-c:a", "pcm_s16le", wav});
            set.inputs.push_back(wav);
        }
    }

    std::printf("tool: %s; %d runs of each set, alternating\n", tool.c_str(), runs);
    for (Set& set : sets) {
        std::vector<double> ours;
        std::vector<double> theirs;
        long oursPeak = 0;
        long theirsPeak = 0;
        for (int run = 0; run < runs * 2; ++run) {
            const bool mine = run % 2 == 0;
            const auto start = std::chrono::steady_clock::now();
            for (size_t i = 0; i < set.inputs.size(); ++i) {
                const std::string out = dir + "/out-" + std::to_string(i) + ".mp3";
                std::vector<std::string> args = {"-i",  set.inputs[i], "-y",  "-vn", "-ab", "192k",
                                                 "-ar", "44100",       "-ac", "2",   out};
                args.insert(args.begin(), mine ? tool : std::string("ffmpeg"));
                const BenchRun::Ran o = BenchRun::Quiet(args);
                if (!o.ok)
                    std::printf("  a conversion failed: %s\n", set.inputs[i].c_str());
                (mine ? oursPeak : theirsPeak) = std::max(mine ? oursPeak : theirsPeak, o.peakKb);
            }
            const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            (mine ? ours : theirs).push_back(s);
            std::printf("  %s run %d: %s %.3f s\n", set.name, run / 2 + 1, mine ? "conv.exe" : "ffmpeg  ", s);
        }
        const double a = BenchRun::Median(ours);
        const double b = BenchRun::Median(theirs);
        std::printf("%s: conv.exe %.3f s, ffmpeg %.3f s (medians), ratio %.2f; peak memory %ld KB against %ld KB\n",
                    set.name, a, b, a / b, oursPeak, theirsPeak);
    }
    BenchRun::Quiet({"rm", "-rf", dir});
    return 0;
}
