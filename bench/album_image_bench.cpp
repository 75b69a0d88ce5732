// An album image converted track by track against the same tracks as separate files: a 15-track,
// 15-minute image (FLAC, and MP3 VBR) to MP3 at 192k, one track after another, the two ways alternating
// run by run, timed on the wall clock and in processor time (the steadier figure on a busy machine).
// Each track of the image is its own conv.exe run with -range, as the program runs it, so
// the later tracks pay for their seek. Prints every run, the medians and their ratio, and whether the
// image's tracks converted to FLAC and joined decode to the image's very samples (their md5 sums).
#include "BenchRun.h"

#include <algorithm>
#include <array>
#include <chrono>
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

namespace {

constexpr int kTracks = 15;
constexpr int kRate = 44100;

// Adds the processor time the run took to cpu, when given.
bool runQuiet(const std::vector<std::string>& args, double* cpu = nullptr)
{
    const BenchRun::Ran ran = BenchRun::Quiet(args);
    if (cpu)
        *cpu += ran.cpu;
    return ran.ok;
}

// The md5 of files' samples decoded one after another as 16-bit PCM, by FFmpeg's program.
std::string decodedMd5(const std::vector<std::string>& files)
{
    std::string command = "(";
    for (const std::string& f : files)
        command += "ffmpeg -nostdin -v error -i '" + f + "' -f s16le -;";
    command += ") | md5sum";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return "?";
    std::array<char, 64> sum{};
    const size_t n = fread(sum.data(), 1, 32, pipe);
    pclose(pipe);
    return std::string(sum.data(), n);
}
double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv)
{
    const std::string tool = argc > 1 ? argv[1] : std::string(VELTRA_CONV_TOOL);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    char scratch[] = "/tmp/album-image-bench-XXXXXX";
    if (!mkdtemp(scratch))
        return 1;
    const std::string dir = scratch;

    // Tracks of 45 to 78 seconds, none a whole number of CD frames long.
    std::vector<long long> starts = {0};
    for (int i = 0; i < kTracks; ++i)
        starts.push_back(starts.back() + 45 * kRate + i * 104729 + 311);
    const long long total = starts.back();
    const std::string wav = dir + "/image.wav";
    const std::string flac = dir + "/image.flac";
    const std::string vbr = dir + "/image.mp3";
    if (!runQuiet({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i",
                   "anoisesrc=c=pink:a=0.3:r=44100:d=" + std::to_string(double(total) / kRate), "-ac", "2", "-af",
                   "atrim=end_sample=" + std::to_string(total), "-c:a", "pcm_s16le", wav}) ||
        !runQuiet({"ffmpeg", "-nostdin", "-y", "-i", wav, flac}) ||
        !runQuiet({"ffmpeg", "-nostdin", "-y", "-i", wav, "-q:a", "2", vbr})) {
        std::fprintf(stderr, "cannot make the image in %s\n", dir.c_str());
        return 1;
    }
    const auto range = [&](int t) {
        return std::to_string(starts[t]) + "-" + (t + 1 == kTracks ? std::string() : std::to_string(starts[t + 1]));
    };

    // Lossless: the image's tracks to FLAC, joined, against the image.
    std::vector<std::string> flacTracks;
    for (int t = 0; t < kTracks; ++t) {
        flacTracks.push_back(dir + "/track-" + std::to_string(t) + ".flac");
        if (!runQuiet({tool, "-i", flac, "-range", range(t), "-y", flacTracks.back()}))
            return 1;
    }
    const std::string imageSum = decodedMd5({wav});
    const std::string tracksSum = decodedMd5(flacTracks);
    std::printf("md5 of the image's samples:                %s\n", imageSum.c_str());
    std::printf("md5 of its %d FLAC tracks' samples joined: %s (%s)\n", kTracks, tracksSum.c_str(),
                imageSum == tracksSum ? "identical" : "DIFFERENT");

    // The same tracks as separate files of the image's kind.
    struct Kind
    {
        const char* name;
        std::string image;
        std::vector<std::string> separate;
    };
    std::vector<Kind> kinds = {{"FLAC", flac, flacTracks}, {"MP3 VBR", vbr, {}}};
    for (int t = 0; t < kTracks; ++t) {
        kinds[1].separate.push_back(dir + "/separate-" + std::to_string(t) + ".mp3");
        if (!runQuiet(
                {"ffmpeg", "-nostdin", "-y", "-i", wav, "-af",
                 "atrim=start_sample=" + std::to_string(starts[t]) + ":end_sample=" + std::to_string(starts[t + 1]),
                 "-q:a", "2", kinds[1].separate.back()}))
            return 1;
    }

    std::printf("%d tracks, %.1f minutes, to MP3 192k, one conv.exe run per track\n", kTracks,
                double(total) / kRate / 60);
    for (const Kind& kind : kinds) {
        std::vector<double> wallImage;
        std::vector<double> wallFiles;
        std::vector<double> cpuImage;
        std::vector<double> cpuFiles;
        for (int run = 0; run < runs; ++run) {
            double cpu = 0;
            auto start = std::chrono::steady_clock::now();
            for (int t = 0; t < kTracks; ++t) {
                if (!runQuiet({tool, "-i", kind.image, "-range", range(t), "-ab", "192k", "-y", dir + "/out.mp3"},
                              &cpu))
                    return 1;
            }
            wallImage.push_back(seconds(start));
            cpuImage.push_back(cpu);
            cpu = 0;
            start = std::chrono::steady_clock::now();
            for (int t = 0; t < kTracks; ++t) {
                if (!runQuiet({tool, "-i", kind.separate[size_t(t)], "-ab", "192k", "-y", dir + "/out.mp3"}, &cpu))
                    return 1;
            }
            wallFiles.push_back(seconds(start));
            cpuFiles.push_back(cpu);
            std::printf("  %-8s run %d: image %.2f s (processor %.2f s), separate files %.2f s (processor %.2f s)\n",
                        kind.name, run + 1, wallImage.back(), cpuImage.back(), wallFiles.back(), cpuFiles.back());
        }
        std::printf("%-8s medians: wall clock %.2f s against %.2f s, ratio %.3f; processor %.2f s against %.2f s, "
                    "ratio %.3f\n",
                    kind.name, BenchRun::Median(wallImage), BenchRun::Median(wallFiles),
                    BenchRun::Median(wallImage) / BenchRun::Median(wallFiles), BenchRun::Median(cpuImage),
                    BenchRun::Median(cpuFiles), BenchRun::Median(cpuImage) / BenchRun::Median(cpuFiles));
    }
    runQuiet({"rm", "-rf", dir});
    return 0;
}
