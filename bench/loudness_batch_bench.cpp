// What Loudness costs a whole batch: a FLAC album (8 tracks of 60 s, pink noise at different levels)
// converted to MP3 at 192 kbps from the terminal with two files at once, with Loudness off, tags, even
// out by track and even out by album, the four alternating run by run. Figures: the median time on the
// clock, and the processor time of the program and every tool it ran (user and system), which a busy
// machine changes far less. The program leaves its idle tools to end on their own when it exits: this
// benchmark takes them in as their subreaper and waits for them, so their time counts.
#include "BenchRun.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {} // namespace

int main(int argc, char** argv)
{
    const std::string program = argc > 1 && argv[1][0] ? argv[1] : std::string(VELTRA_PROGRAM);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    char scratch[] = "/tmp/loudness-batch-bench-XXXXXX";
    if (!mkdtemp(scratch))
        return 1;
    const std::string dir = scratch;
    const std::string album = dir + "/album";
    BenchRun::Quiet({"mkdir", "-p", album});
    for (int i = 0; i < 8; ++i) {
        const std::string amplitude = std::to_string(0.05 + 0.06 * i);
        const std::string track = album + "/" + std::to_string(i + 1) + ".flac";
        if (!BenchRun::Quiet(
                 {"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                  "anoisesrc=color=pink:amplitude=" + amplitude + ":duration=60:seed=" + std::to_string(i + 1), "-ac",
                  "2", "-ar", "44100", "-sample_fmt", "s16", "-metadata", "album=Bench", track})
                 .ok) {
            std::printf("cannot make the album with ffmpeg\n");
            return 1;
        }
    }
    struct Mode
    {
        const char* name;
        std::vector<double> wall;
        std::vector<double> cpu;
    };
    Mode modes[] = {{"off", {}, {}}, {"tags", {}, {}}, {"track", {}, {}}, {"album", {}, {}}};
    std::printf("program: %s; 8 FLAC tracks of 60 s to MP3 192 kbps, 2 at once, %d runs of each, alternating\n",
                program.c_str(), runs);
    int n = 0;
    for (int r = 0; r < runs; ++r) {
        for (Mode& m : modes) {
            const std::string out = dir + "/out" + std::to_string(n++);
            const BenchRun::Ran c = BenchRun::Quiet(
                {program,      "--convert", "--format",   "mp3",  "--bitrate", "192",      "--rate",    "44100",
                 "--channels", "2",         "--jobs",     "2",    "--cut",     "off",      "--folders", "flat",
                 "--existing", "keep",      "--loudness", m.name, "--quiet",   "--output", out,         album},
                true);
            BenchRun::Quiet({"rm", "-rf", out});
            if (!c.ok) {
                std::printf("  %s failed\n", m.name);
                continue;
            }
            m.wall.push_back(c.wall);
            m.cpu.push_back(c.cpu);
        }
    }
    for (const Mode& m : modes) {
        if (m.wall.empty())
            continue;
        std::printf("%-6s %6.2f s on the clock, %6.2f s of processor time (medians)", m.name, BenchRun::Median(m.wall),
                    BenchRun::Median(m.cpu));
        if (!modes[0].wall.empty() && &m != &modes[0])
            std::printf("; %.2fx and %.2fx the time with Loudness off",
                        BenchRun::Median(m.wall) / BenchRun::Median(modes[0].wall),
                        BenchRun::Median(m.cpu) / BenchRun::Median(modes[0].cpu));
        std::printf("\n");
    }
    BenchRun::Quiet({"rm", "-rf", dir});
    return 0;
}
