// What reading an input's tags costs before its output can be named: the tool's probe in this process
// (TagProbe::Read) on four-minute files of each container, tagged as a library's are (an MP3 with a
// 200 KB cover), and the same probe as jobs for one tool process in job mode, as a batch's worker runs
// it (the job written, the tags and the end read back from the record). Files are in the page cache,
// as the batch's just-listed files are. Prints the median per file of each.
#include "BenchRun.h"

#include "TagProbe.h"
#include "ToolJobs.h"
#include "ToolRecord.h"
#include "ToolTags.h"
#include "WriteAll.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
// One tool process in job mode, its jobs on a pipe and its record on another.
class JobTool
{
public:
    explicit JobTool(const std::string& tool)
    {
        int in[2];
        int rec[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(rec, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, rec[1], ToolRecord::kDescriptor);
        std::vector<std::string> env = {std::string(ToolJobs::kJobsVariable) + "=1",
                                        std::string(ToolRecord::kEnvironment) + "=3"};
        for (char** e = environ; *e; ++e)
            env.emplace_back(*e);
        std::vector<char*> envp;
        for (std::string& e : env)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        char* argv[] = {const_cast<char*>(tool.c_str()), nullptr};
        if (posix_spawn(&m_pid, tool.c_str(), &actions, nullptr, argv, envp.data()) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(rec[1]);
        m_jobs = in[1];
        m_record = rec[0];
    }
    ~JobTool()
    {
        close(m_jobs);
        close(m_record);
        int status = 0;
        if (m_pid > 0)
            waitpid(m_pid, &status, 0);
    }

    // The probe of one file as a job; the number of tag lines, or -1 when the job failed.
    int probe(const std::string& input)
    {
        const std::string job = ToolJobs::Encode(std::vector<std::string>{ToolTags::kProbeOption, "-i", input});
        if (!WriteAll(m_jobs, job.data(), job.size()))
            return -1;
        int tags = 0;
        for (;;) {
            const size_t end = m_buffer.find('\n');
            if (end == std::string::npos) {
                char chunk[4096];
                const ssize_t n = read(m_record, chunk, sizeof chunk);
                if (n <= 0)
                    return -1;
                m_buffer.append(chunk, size_t(n));
                continue;
            }
            const std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            if (ToolTags::Parse(line))
                ++tags;
            else if (const auto e = ToolRecord::Parse(line); e && e->kind == ToolRecord::Entry::Kind::End)
                return e->status == 0 ? tags : -1;
        }
    }

private:
    pid_t m_pid = -1;
    int m_jobs = -1;
    int m_record = -1;
    std::string m_buffer;
};

} // namespace

int main(int argc, char** argv)
{
    const std::string tool = argc > 1 ? argv[1] : std::string(VELTRA_CONV_TOOL);
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
    char scratch[] = "/tmp/tag-probe-bench-XXXXXX";
    if (!mkdtemp(scratch))
        return 1;
    const std::string dir = scratch;
    const std::vector<std::string> tags = {"-metadata", "artist=The Killers", "-metadata", "album_artist=The Killers",
                                           "-metadata", "album=Hot Fuss",     "-metadata", "title=Mr. Brightside",
                                           "-metadata", "track=2/11",         "-metadata", "date=2004-06-07",
                                           "-metadata", "genre=Rock",         "-metadata", "comment=ripped with care"};
    const std::string wav = dir + "/tone.wav";
    const std::string cover = dir + "/cover.png";
    if (!BenchRun::Quiet({"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "sine=duration=240", "-ac", "2", wav}).ok ||
        !BenchRun::Quiet(
             {"ffmpeg", "-nostdin", "-y", "-f", "lavfi", "-i", "mandelbrot=size=300x300", "-frames:v", "1", cover})
             .ok)
        return 1;
    struct Input
    {
        const char* what;
        std::string path;
        std::vector<std::string> extra;
    };
    std::vector<Input> inputs = {
        {"MP3, ID3v2 with a cover",
         dir + "/in.mp3",
         {"-i", cover, "-map", "0", "-map", "1", "-c:v", "copy", "-disposition:v", "attached_pic"}},
        {"MP3, ID3v2", dir + "/plain.mp3", {}},
        {"FLAC", dir + "/in.flac", {}},
        {"Ogg Vorbis", dir + "/in.ogg", {}},
        {"M4A", dir + "/in.m4a", {}},
        {"WMA", dir + "/in.wma", {}},
        {"WAV", dir + "/in.wav", {}},
    };
    for (Input& in : inputs) {
        std::vector<std::string> args = {"ffmpeg", "-nostdin", "-y", "-i", wav};
        args.insert(args.end(), in.extra.begin(), in.extra.end());
        args.insert(args.end(), tags.begin(), tags.end());
        args.push_back(in.path);
        if (!BenchRun::Quiet(args).ok) {
            std::printf("could not make %s\n", in.path.c_str());
            return 1;
        }
    }

    std::printf("%d probes of each file; median per file\n", rounds);
    std::printf("%-26s %12s %12s\n", "input", "in process", "as a job");
    JobTool jobs(tool);
    for (const Input& in : inputs) {
        std::vector<double> inProcess;
        std::vector<double> asJob;
        size_t fields = 0;
        int jobFields = 0;
        for (int r = 0; r < rounds; ++r) {
            auto start = Clock::now();
            fields = TagProbe::Read(in.path).size();
            inProcess.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
            start = Clock::now();
            jobFields = jobs.probe(in.path);
            asJob.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        }
        std::printf("%-26s %9.3f ms %9.3f ms   (%zu fields, %d by job)\n", in.what, BenchRun::Median(inProcess),
                    BenchRun::Median(asJob), fields, jobFields);
    }
    BenchRun::Quiet({"rm", "-rf", dir});
    return 0;
}
