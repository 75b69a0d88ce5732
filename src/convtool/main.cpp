// The conversion tool the program runs as data/conv.exe. It runs the system's FFmpeg as its child with
// the same arguments, so a process named conv.exe lives exactly as long as the conversion. For ".amr"
// output, which FFmpeg cannot encode here, FFmpeg decodes to 8000 Hz mono samples on a pipe and this
// program encodes them with the AMR-NB codec. FFmpeg's console output ("Duration: ", "time=") passes
// straight through either way.
#include "AmrWriter.h"
#include "ToolArgs.h"

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
char g_partial[4096] = {0}; // the half-written output, removed if we are stopped

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
    if (g_partial[0])
        ::unlink(g_partial);
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

// Any output but AMR: FFmpeg does the whole job with our arguments and our console.
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

int encodeAmr(const ToolArgs::Parsed& parsed)
{
    const auto mode = ToolArgs::AmrMode(parsed.bitrate.empty() ? std::string("12.2k") : parsed.bitrate);
    if (!mode)
        return fail("AMR-NB has no " + parsed.bitrate + " rate; use one of " + ToolArgs::AmrRates());
    if (parsed.input.empty())
        return fail("no input file (-i) given");
    struct stat existing
    {};
    if (!parsed.overwrite && ::stat(parsed.output.c_str(), &existing) == 0)
        return fail("File '" + parsed.output + "' already exists. Exiting.");

    // Written beside the output and renamed over it only when complete, so a failed encode never leaves
    // a file that looks finished.
    std::string partial = parsed.output + ".part-XXXXXX";
    const int fd = ::mkstemp(partial.data());
    if (fd < 0)
        return fail("cannot write next to '" + parsed.output + "': " + std::strerror(errno));
    std::snprintf(g_partial, sizeof g_partial, "%s", partial.c_str());
    ::fchmod(fd, 0644);
    std::FILE* out = ::fdopen(fd, "wb");

    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        ::unlink(partial.c_str());
        return fail(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
    std::vector<std::string> args = {ffmpegProgram(), "-nostdin", "-i", parsed.input};
    if (!parsed.start.empty())
        args.insert(args.end(), {"-ss", parsed.start});
    if (!parsed.length.empty())
        args.insert(args.end(), {"-t", parsed.length});
    args.insert(args.end(), {"-vn", "-f", "s16le", "-acodec", "pcm_s16le", "-ar", "8000", "-ac", "1", "pipe:1"});
    std::vector<char*> childArgv = argvOf(args);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    pid_t pid = 0;
    const int rc = ::posix_spawnp(&pid, childArgv[0], &actions, nullptr, childArgv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeFds[1]);
    if (rc != 0) {
        ::close(pipeFds[0]);
        std::fclose(out);
        ::unlink(partial.c_str());
        g_partial[0] = 0;
        return fail(std::string("cannot start ffmpeg: ") + std::strerror(rc), 127);
    }
    g_child = pid;

    AmrWriter writer(out, *mode);
    int16_t buffer[4096];
    size_t carry = 0; // a sample split between two reads
    char* bytes = reinterpret_cast<char*>(buffer);
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], bytes + carry, sizeof buffer - carry);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        const size_t have = carry + size_t(n);
        const size_t whole = have / 2;
        if (!writer.write(buffer, whole))
            break;
        carry = have % 2;
        if (carry)
            bytes[0] = bytes[have - 1];
    }
    ::close(pipeFds[0]);
    const int decodeStatus = waitFor(pid);
    const bool written = writer.ok() && writer.finish() && std::fclose(out) == 0;
    if (decodeStatus != 0 || !written || writer.frames() == 0) {
        ::unlink(partial.c_str());
        g_partial[0] = 0;
        if (decodeStatus != 0)
            return decodeStatus;
        return fail(written ? "no audio was decoded from '" + parsed.input + "'"
                            : "cannot write '" + parsed.output + "': " + std::strerror(errno));
    }
    if (::rename(partial.c_str(), parsed.output.c_str()) != 0) {
        const int error = errno;
        ::unlink(partial.c_str());
        g_partial[0] = 0;
        return fail("cannot write '" + parsed.output + "': " + std::strerror(error));
    }
    g_partial[0] = 0;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    // A conversion left running when the program that started it has gone still finishes its file.
    std::signal(SIGPIPE, SIG_IGN);
    installStopHandlers();
    std::vector<std::string> args(argv + 1, argv + argc);
    const ToolArgs::Parsed parsed = ToolArgs::Parse(args);
    if (!ToolArgs::WantsAmr(parsed))
        return passThrough(argc, argv);
    return encodeAmr(parsed);
}
