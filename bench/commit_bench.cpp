// What the conversion tool adds to each file before its commit: the part file's data synced to the disk
// and the read-back of what was written.
//
//   commit_bench [FOLDER [FILES]]
//
// The sync: FILES (default 100) files of 60 KB, a 3-second MP3's size, written in FOLDER (default a
// temporary folder under /tmp; give a tmpfs or a mounted stick to compare), each renamed into place
// with and without fdatasync, alternating, four rounds. The check: M4A files the build's tool makes
// in FOLDER (3 s, 4 minutes, 3 s with a 10 MB cover) and a 4-minute MP3, each checked twenty times.
#include "BenchRun.h"

#include "LibAv.h"
#include "OutputCheck.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
double msSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// Milliseconds a file for writing, renaming and removing files as the tool's commit does.
double commitRound(const std::string& folder, int files, bool sync)
{
    std::vector<char> bytes(60 * 1024);
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 131 + 7);
    const auto start = Clock::now();
    for (int i = 0; i < files; ++i) {
        const std::string part = folder + "/.bench-" + std::to_string(i) + ".part";
        const std::string name = folder + "/bench-" + std::to_string(i) + ".mp3";
        const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != ssize_t(bytes.size()))
            std::printf("  cannot write %s\n", part.c_str());
        if (sync)
            ::fdatasync(fd);
        ::close(fd);
        if (::rename(part.c_str(), name.c_str()) != 0)
            std::printf("  cannot rename %s\n", part.c_str());
    }
    const double ms = msSince(start) / files;
    for (int i = 0; i < files; ++i)
        ::unlink((folder + "/bench-" + std::to_string(i) + ".mp3").c_str());
    return ms;
}

// What the check needs to know of a file, read from the file itself: the timing is what counts here.
bool expectationsOf(const std::string& path, OutputCheck::Mp4Audio& audio)
{
    AVFormatContext* f = nullptr;
    if (avformat_open_input(&f, path.c_str(), nullptr, nullptr) < 0)
        return false;
    bool found = false;
    for (unsigned i = 0; i < f->nb_streams && !found; ++i) {
        AVStream* st = f->streams[i];
        if (st->codecpar->codec_type != AVMEDIA_TYPE_AUDIO)
            continue;
        audio.frames = avformat_index_get_entries_count(st);
        audio.rate = st->codecpar->sample_rate;
        audio.frameSize = 1024;
        audio.samples = int64_t(st->duration * av_q2d(st->time_base) * audio.rate + 0.5);
        found = true;
    }
    avformat_close_input(&f);
    return found;
}

double fileSize(const std::string& path)
{
    struct stat st
    {};
    return ::stat(path.c_str(), &st) == 0 ? double(st.st_size) : 0;
}

void checkCost(const std::string& label, const std::string& path, bool mp4)
{
    OutputCheck::Mp4Audio audio;
    if (mp4 && !expectationsOf(path, audio)) {
        std::printf("%s: cannot read %s\n", label.c_str(), path.c_str());
        return;
    }
    std::vector<double> ms;
    for (int i = 0; i < 20; ++i) {
        const auto start = Clock::now();
        try {
            const int64_t bytes = OutputCheck::Length(path, int64_t(fileSize(path)));
            (void)bytes;
            if (mp4)
                OutputCheck::Mp4(path, audio);
        } catch (const LibAv::Failure& f) {
            std::printf("%s: the check failed: %s\n", label.c_str(), f.reason.c_str());
            return;
        }
        ms.push_back(msSince(start));
    }
    std::printf("check, %s (%.0f KB): %.2f ms a file (median of 20)\n", label.c_str(), fileSize(path) / 1024,
                BenchRun::Median(ms));
}

} // namespace

int main(int argc, char** argv)
{
    char scratch[] = "/tmp/commit-bench-XXXXXX";
    const std::string folder = argc > 1 ? std::string(argv[1]) : std::string(mkdtemp(scratch) ? scratch : "/tmp");
    const int files = argc > 2 ? std::max(1, std::atoi(argv[2])) : 100;
    const std::string tool = VELTRA_CONV_TOOL;
    LibAv::Init();

    std::vector<double> synced;
    std::vector<double> unsynced;
    for (int round = 0; round < 8; ++round)
        (round % 2 ? unsynced : synced).push_back(commitRound(folder, files, round % 2 == 0));
    std::printf("commit in %s, %d files of 60 KB a round: %.3f ms a file with fdatasync, %.3f ms without "
                "(medians of 4 rounds)\n",
                folder.c_str(), files, BenchRun::Median(synced), BenchRun::Median(unsynced));

    // The inputs stay out of FOLDER, which may be a small stick.
    char inputs[] = "/tmp/commit-bench-in-XXXXXX";
    if (!mkdtemp(inputs))
        return 1;
    const std::string in = inputs;
    std::vector<unsigned char> noise(1830 * 1830 * 3);
    uint32_t x = 2463534242u;
    for (unsigned char& c : noise) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<unsigned char>(x);
    }
    const std::string raw = in + "/cover.rgb";
    if (std::FILE* f = std::fopen(raw.c_str(), "wb")) {
        std::fwrite(noise.data(), 1, noise.size(), f);
        std::fclose(f);
    }
    BenchRun::Quiet({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "sine=d=3", "-ac", "2", in + "/3s.wav"});
    BenchRun::Quiet({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "sine=d=240", "-ac", "2", in + "/4min.wav"});
    BenchRun::Quiet({"ffmpeg", "-nostdin", "-y", "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", "1830x1830", "-i", raw,
                     "-frames:v", "1", in + "/cover.png"});
    BenchRun::Quiet({"ffmpeg", "-nostdin", "-y", "-i", in + "/3s.wav", "-i", in + "/cover.png", "-map", "0", "-map",
                     "1", "-c:v", "copy", "-disposition:v", "attached_pic", in + "/cover.flac"});
    struct Made
    {
        const char* label;
        const char* input;
        const char* output;
    };
    for (const Made& m :
         {Made{"M4A, 3 s", "3s.wav", "3s.m4a"}, Made{"M4A, 4 min", "4min.wav", "4min.m4a"},
          Made{"M4A, 3 s and a 10 MB cover", "cover.flac", "cover.m4a"}, Made{"MP3, 4 min", "4min.wav", "4min.mp3"}}) {
        const std::string out = folder + "/" + m.output;
        if (!BenchRun::Quiet(
                 {tool, "-i", in + "/" + m.input, "-y", "-vn", "-ab", "192k", "-ar", "44100", "-ac", "2", out})
                 .ok) {
            std::printf("%s: the tool failed\n", m.label);
            continue;
        }
        checkCost(m.label, out, std::string(m.output).find(".m4a") != std::string::npos);
        ::unlink(out.c_str());
    }
    BenchRun::Quiet({"rm", "-rf", in});
    if (argc < 2)
        BenchRun::Quiet({"rm", "-rf", folder});
    return 0;
}
