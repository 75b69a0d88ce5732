// The conversion tool the program runs as data/conv.exe. The command lines the program writes (and the
// interface the README documents) are converted in this process on FFmpeg's libraries, AMR-NB through
// its own codec library; any other arguments are handed to the system's FFmpeg program unchanged, whose
// console output passes straight through.
#include "LibAv.h"
#include "PartFile.h"
#include "ToolArgs.h"
#include "Transcoder.h"

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
int passThrough(int argc, char** argv)
{
    std::vector<std::string> args = {ffmpegProgram()};
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    std::vector<char*> childArgv = argvOf(args);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, childArgv[0], nullptr, nullptr, childArgv.data(), environ);
    if (rc != 0)
        return fail(std::string("cannot start ffmpeg: ") + std::strerror(rc), 127);
    g_child = pid;
    return waitFor(pid);
}

} // namespace

int main(int argc, char** argv)
{
    // A conversion left running when the program that started it has gone still finishes its file.
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit is a write error with a reason, not a death that leaves the part file behind.
    std::signal(SIGXFSZ, SIG_IGN);
    installStopHandlers();
    std::vector<std::string> args(argv + 1, argv + argc);
    const ToolArgs::Parsed parsed = ToolArgs::Parse(args);
    if (!parsed.ownInterface)
        return passThrough(argc, argv);
    LibAv::Init();
    return Transcoder::Run(parsed, stderr);
}
