#include "BenchRun.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>

extern char** environ;

namespace BenchRun {

namespace {
double now()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double seconds(const timeval& t)
{
    return double(t.tv_sec) + double(t.tv_usec) / 1e6;
}

double childrenCpu()
{
    struct rusage usage
    {};
    getrusage(RUSAGE_CHILDREN, &usage);
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}
} // namespace

Ran Quiet(const std::vector<std::string>& args, bool orphansToo)
{
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY, 0);
    const double before = orphansToo ? childrenCpu() : 0;
    const double started = now();
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    Ran ran;
    if (rc != 0)
        return ran;
    int status = 0;
    struct rusage usage
    {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    ran.wall = now() - started;
    ran.peakKb = usage.ru_maxrss;
    ran.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    if (orphansToo) {
        // Its tools, left behind as it exits, end once their input closes.
        while (wait(nullptr) > 0 || errno == EINTR) {
        }
        ran.cpu = childrenCpu() - before;
    }
    ran.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return ran;
}

std::string ScratchFolder(const std::string& name)
{
    std::string path = "/tmp/" + name + "-XXXXXX";
    return mkdtemp(path.data()) ? path : std::string();
}

} // namespace BenchRun
