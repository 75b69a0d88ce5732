// The conversion tool the program runs as data/conv.exe. The command lines the program writes (and the
// interface the README documents) are converted in this process on FFmpeg's libraries, AMR-NB through
// its own codec library; any other arguments are handed to the system's FFmpeg program unchanged, whose
// console output passes straight through. Started by the program in job mode (ToolJobs.h), it converts
// one file after another in this process, each exactly as a one-file run would.
#include "JobReader.h"
#include "LibAv.h"
#include "PartFile.h"
#include "TagProbe.h"
#include "ToolArgs.h"
#include "ToolJobs.h"
#include "ToolRecord.h"
#include "Transcoder.h"
#include "WriteAll.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

volatile sig_atomic_t g_child = 0;
bool g_jobMode = false;

const char* ffmpegProgram()
{
    // The tool's own tests may point it at another FFmpeg; the program itself never sets this.
    const char* override = std::getenv("VELTRA_FFMPEG");
    return override && *override ? override : "ffmpeg";
}

void onStopSignal(int sig)
{
    if (g_child > 0)
        ::kill(pid_t(g_child), sig);
    PartFile::RemoveNow();
    ::_exit(128 + sig);
}

void installStopHandlers()
{
    struct sigaction sa
    {};
    sa.sa_handler = onStopSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGTERM, SIGINT, SIGHUP, SIGQUIT})
        ::sigaction(sig, &sa, nullptr);
}

int statusOf(int waitStatus)
{
    if (WIFEXITED(waitStatus))
        return WEXITSTATUS(waitStatus);
    if (WIFSIGNALED(waitStatus))
        return 128 + WTERMSIG(waitStatus);
    return 1;
}

int waitFor(pid_t pid)
{
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return 1;
    }
    g_child = 0;
    return statusOf(status);
}

std::vector<char*> argvOf(std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

int fail(const std::string& message, int status = 1)
{
    std::fprintf(stderr, "conv.exe: %s\n", message.c_str());
    return status;
}

// Arguments outside our own interface: the system's FFmpeg program does the whole job with them and with our
// console.
int passThrough(const std::vector<std::string>& toolArgs)
{
    std::vector<std::string> args = {ffmpegProgram()};
    args.insert(args.end(), toolArgs.begin(), toolArgs.end());
    std::vector<char*> childArgv = argvOf(args);
    pid_t pid = 0;
    // In job mode standard input carries the next jobs, and FFmpeg reads its keys from there.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (g_jobMode)
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    const int rc = ::posix_spawnp(&pid, childArgv[0], &actions, nullptr, childArgv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0)
        return fail(std::string("cannot start ffmpeg: ") + std::strerror(rc), 127);
    g_child = pid;
    return waitFor(pid);
}

int convert(const std::vector<std::string>& args)
{
    if (TagProbe::Requested(args))
        return TagProbe::Run(args, stderr);
    const ToolArgs::Parsed parsed = ToolArgs::Parse(args);
    if (!parsed.ownInterface)
        return passThrough(args);
    return Transcoder::Run(parsed, stderr);
}

void record(const std::string& line)
{
    // The program reads this pipe as the tool goes and after it has ended: a reader that has gone away
    // is not this file's failure.
    [[maybe_unused]] const bool written = WriteAll(ToolRecord::kDescriptor, line.data(), line.size());
}

int runJobs()
{
    JobReader jobs(stdin);
    const bool recorded = ToolRecord::Requested();
    while (const auto args = jobs.Next()) {
        const int status = convert(*args);
        // The program acts on a job's end as soon as it reads it: the console lines, the reason last
        // of all, must be in their pipe before.
        std::fflush(stdout);
        std::fflush(stderr);
        if (recorded)
            record(ToolRecord::EndLine(status));
    }
    return 0;
}

bool sayHello()
{
    const char* token = std::getenv(ToolJobs::kHelloVariable);
    if (!token || !*token)
        return false;
    const std::string line = ToolJobs::HelloLine(token);
    std::fwrite(line.data(), 1, line.size(), stdout);
    return std::fflush(stdout) == 0;
}

bool jobMode()
{
    const char* value = std::getenv(ToolJobs::kJobsVariable);
    return value && std::string(value) == "1";
}

} // namespace

int main(int argc, char** argv)
{
    // A conversion left running when the program that started it has gone still finishes its file.
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit is a write error with a reason, not a death that leaves the part file behind.
    std::signal(SIGXFSZ, SIG_IGN);
    installStopHandlers();
    if (sayHello())
        return 0;
    LibAv::Init();
    if (argc == 1 && jobMode()) {
        g_jobMode = true;
        return runJobs();
    }
    return convert(std::vector<std::string>(argv + 1, argv + argc));
}
