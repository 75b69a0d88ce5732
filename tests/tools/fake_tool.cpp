// A stand-in for the conversion tool. It runs the operations named in the environment variable
// FAKE_TOOL_OPS (separated by ";") and then those given as "op:value" arguments; other arguments are
// taken as the tool's own, and "{out}" in an operation stands for the last of them (the output file).
//
//   out:TEXT     write TEXT to standard output (\n, \r, \\ understood)
//   err:TEXT     the same on standard error
//   bytes:N      write N bytes of a repeating a..z pattern in one write
//   sleep:MS     sleep
//   waitfor:PATH wait until PATH exists: the test holds the tool there and releases it by making PATH
//   pidto:PATH   append the tool's process id and a newline to PATH
//   termto:PATH  from now on SIGTERM, SIGINT and SIGHUP append "term PID", "int PID" or "hup PID" to
//                PATH and then end the process by that signal, as if it had no handler; a child started
//                later (childto, childuntil) inherits this and names its own pid
//   shrugto:PATH from now on SIGTERM appends "term PID" to PATH and the tool goes on, as a tool that
//                will not stop would
//   finishonterm from now on SIGTERM writes {out} and ends with status 0, as a tool that finishes its
//                file just as the stop comes would
//   argsto:PATH  write every argument, each followed by a NUL byte, to PATH
//   logto:PATH   append the tool's own arguments, separated by a unit separator, as one line to PATH
//   touch        write a small file at {out}
//   touchat:PATH write a small file at PATH
//   touchif:TEXT touch only when an argument contains TEXT
//   failif:TEXT  exit with status 1 at once when an argument contains TEXT
//   endif:TEXT   exit with status 0 at once when an argument contains TEXT
//   exit:N       exit with status N
//   kill:SIG     end by signal SIG
//   ignoreterm   ignore SIGTERM from now on, as a tool that will not stop would
//   part         write a part file beside {out}, named as the conversion tool names its own
//   first:PATH   the first run (PATH does not exist yet): make PATH, write {out} and exit 0; later
//                runs go on with the next operation
//   groupto:PATH write "leader" or "member" (whether the tool leads its process group) and its blocked
//                signal mask as /proc shows it ("SigBlk: ...") to PATH
//   begin:PATH   append "begin NANOSECONDS INPUT" (a monotonic clock; INPUT follows -i) to PATH as one line
//   end:PATH     the same with "end"
//   childto:PATH start a child in the tool's process group that sleeps for a minute; its pid goes to PATH
//   childfor:MS  start a child in the tool's process group that sleeps for MS and ends
//   childuntil:PATH start a child in the tool's process group that waits until PATH exists and ends;
//                its pid goes to PATH.pid
//   record:TEXT  write TEXT (\n understood) to descriptor 3, the tool's record, whatever is there
//   recordto:PATH write to PATH whether the record was asked for ("asked" or "not asked") and whether
//                descriptor 3 is open ("open" or "closed")
//
// Started with no arguments, as the program asks a tool whether it takes jobs, it refuses as FFmpeg
// does (usage on standard error, status 1) and runs no operation: it is a tool without job mode.
#include "PartName.h"
#include "WriteAll.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
std::vector<std::string> g_plain;
// For the signal handlers, which may only use what is set up before they can run.
char g_signalFile[4096] = {};
char g_finishedOutput[4096] = {};

void setPath(char (&slot)[4096], const std::string& path)
{
    std::snprintf(slot, sizeof slot, "%s", path.c_str());
}

// Appends "WORD PID" as a line to the signal file, with only calls a signal handler may make.
void noteSignal(const char* word)
{
    char line[64];
    size_t n = 0;
    for (const char* w = word; *w && n < 32; ++w)
        line[n++] = *w;
    line[n++] = ' ';
    char digits[16];
    int count = 0;
    for (long pid = ::getpid(); pid > 0 && count < 16; pid /= 10)
        digits[count++] = char('0' + pid % 10);
    while (count > 0)
        line[n++] = digits[--count];
    line[n++] = '\n';
    const int fd = ::open(g_signalFile, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, line, n);
        ::close(fd);
    }
}

void endBySignal(int sig)
{
    noteSignal(sig == SIGTERM ? "term" : sig == SIGINT ? "int" : "hup");
    // Pending until the handler returns, then the default action ends the process.
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void shrugTerm(int)
{
    noteSignal("term");
}

void finishOnTerm(int)
{
    const int fd = ::open(g_finishedOutput, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = ::write(fd, "converted\n", 10);
        ::close(fd);
    }
    ::_exit(0);
}

void handle(int sig, void (*handler)(int))
{
    struct sigaction sa
    {};
    sa.sa_handler = handler;
    sa.sa_flags = SA_RESTART;
    sigemptyset(&sa.sa_mask);
    ::sigaction(sig, &sa, nullptr);
}

// Should the test have gone without releasing it (its folder removed, or ten minutes gone by), the tool
// ends instead of waiting for ever.
void waitFor(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
    for (int polls = 0; ::access(path.c_str(), F_OK) != 0; ++polls) {
        if (polls >= 60000 || ::access(folder.c_str(), F_OK) != 0)
            ::_exit(3);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

void writeFile(const std::string& path, const char* mode, const std::string& text)
{
    if (FILE* f = std::fopen(path.c_str(), mode)) {
        std::fputs(text.c_str(), f);
        std::fclose(f);
    }
}

std::string unescape(const std::string& s)
{
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            const char n = s[++i];
            out += n == 'n' ? '\n' : n == 'r' ? '\r' : n;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::string expand(std::string s)
{
    const std::string key = "{out}";
    const std::string out = g_plain.empty() ? std::string() : g_plain.back();
    for (size_t p; (p = s.find(key)) != std::string::npos;)
        s.replace(p, key.size(), out);
    return s;
}

void writeAll(int fd, const std::string& s)
{
    [[maybe_unused]] const bool written = WriteAll(fd, s.data(), s.size());
}

bool anyArgContains(const std::string& text)
{
    for (const std::string& a : g_plain) {
        if (a.find(text) != std::string::npos)
            return true;
    }
    return false;
}

void touch()
{
    if (!g_plain.empty())
        writeFile(g_plain.back(), "wb", "converted\n");
}

void run(const std::string& op, int argc, char** argv)
{
    const size_t colon = op.find(':');
    const std::string name = op.substr(0, colon);
    const std::string value = colon == std::string::npos ? std::string() : expand(op.substr(colon + 1));
    if (name == "out") {
        writeAll(1, unescape(value));
    } else if (name == "err") {
        writeAll(2, unescape(value));
    } else if (name == "bytes") {
        std::string s(std::stoul(value), ' ');
        for (size_t i = 0; i < s.size(); ++i)
            s[i] = static_cast<char>('a' + i % 26);
        writeAll(1, s);
    } else if (name == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(value)));
    } else if (name == "waitfor") {
        waitFor(value);
    } else if (name == "pidto") {
        writeFile(value, "ab", std::to_string(::getpid()) + "\n");
    } else if (name == "termto") {
        setPath(g_signalFile, value);
        for (int sig : {SIGTERM, SIGINT, SIGHUP})
            handle(sig, endBySignal);
    } else if (name == "shrugto") {
        setPath(g_signalFile, value);
        handle(SIGTERM, shrugTerm);
    } else if (name == "finishonterm") {
        setPath(g_finishedOutput, g_plain.empty() ? std::string() : g_plain.back());
        handle(SIGTERM, finishOnTerm);
    } else if (name == "touchat") {
        writeFile(value, "wb", "converted\n");
    } else if (name == "endif") {
        if (anyArgContains(value))
            std::exit(0);
    } else if (name == "argsto") {
        if (FILE* f = std::fopen(value.c_str(), "wb")) {
            for (int i = 1; i < argc; ++i)
                std::fwrite(argv[i], 1, std::strlen(argv[i]) + 1, f);
            std::fclose(f);
        }
    } else if (name == "logto") {
        if (FILE* f = std::fopen(value.c_str(), "ab")) {
            for (size_t i = 0; i < g_plain.size(); ++i)
                std::fprintf(f, "%s%s", i ? "\x1f" : "", g_plain[i].c_str());
            std::fputc('\n', f);
            std::fclose(f);
        }
    } else if (name == "touch") {
        touch();
    } else if (name == "touchif") {
        if (anyArgContains(value))
            touch();
    } else if (name == "failif") {
        if (anyArgContains(value))
            std::exit(1);
    } else if (name == "exit") {
        std::exit(std::atoi(value.c_str()));
    } else if (name == "kill") {
        std::signal(std::atoi(value.c_str()), SIG_DFL);
        std::raise(std::atoi(value.c_str()));
    } else if (name == "ignoreterm") {
        std::signal(SIGTERM, SIG_IGN);
    } else if (name == "part") {
        if (!g_plain.empty()) {
            const std::string out = g_plain.back();
            const size_t slash = out.rfind('/');
            const std::string folder = slash == std::string::npos ? std::string() : out.substr(0, slash + 1);
            const std::string file = slash == std::string::npos ? out : out.substr(slash + 1);
            if (FILE* f = std::fopen((folder + PartName::Prefix(file, long(::getpid())) + "fake01").c_str(), "wb")) {
                std::fputs("half", f);
                std::fclose(f);
            }
        }
    } else if (name == "first") {
        if (::access(value.c_str(), F_OK) != 0) {
            if (FILE* f = std::fopen(value.c_str(), "wb"))
                std::fclose(f);
            touch();
            std::exit(0);
        }
    } else if (name == "groupto") {
        std::string blocked;
        if (FILE* status = std::fopen("/proc/self/status", "rb")) {
            char line[256];
            while (std::fgets(line, sizeof line, status)) {
                if (std::strncmp(line, "SigBlk:", 7) == 0)
                    blocked = line;
            }
            std::fclose(status);
        }
        if (FILE* f = std::fopen(value.c_str(), "wb")) {
            std::fprintf(f, "%s\n%s", ::getpgrp() == ::getpid() ? "leader" : "member", blocked.c_str());
            std::fclose(f);
        }
    } else if (name == "begin" || name == "end") {
        std::string input;
        for (size_t i = 0; i + 1 < g_plain.size(); ++i) {
            if (g_plain[i] == "-i")
                input = g_plain[i + 1];
        }
        struct timespec now
        {};
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long long ns = now.tv_sec * 1000000000LL + now.tv_nsec;
        if (FILE* f = std::fopen(value.c_str(), "ab")) {
            std::fprintf(f, "%s %lld %s\n", name.c_str(), ns, input.c_str());
            std::fclose(f);
        }
    } else if (name == "childfor") {
        if (::fork() == 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(std::stol(value)));
            ::_exit(0);
        }
    } else if (name == "childuntil") {
        const pid_t child = ::fork();
        if (child == 0) {
            waitFor(value);
            ::_exit(0);
        }
        writeFile(value + ".pid", "wb", std::to_string(child));
    } else if (name == "record") {
        writeAll(3, unescape(value));
    } else if (name == "recordto") {
        const char* asked = std::getenv("VELTRA_TOOL_RECORD");
        const bool open = ::fcntl(3, F_GETFD) >= 0; // before fopen, which may take descriptor 3 itself
        if (FILE* f = std::fopen(value.c_str(), "wb")) {
            std::fprintf(f, "%s %s", asked && std::strcmp(asked, "3") == 0 ? "asked" : "not asked",
                         open ? "open" : "closed");
            std::fclose(f);
        }
    } else if (name == "childto") {
        const pid_t child = ::fork();
        if (child == 0) {
            std::this_thread::sleep_for(std::chrono::seconds(60));
            ::_exit(0);
        }
        if (FILE* f = std::fopen(value.c_str(), "wb")) {
            std::fprintf(f, "%d", int(child));
            std::fclose(f);
        }
    }
}

bool isOp(const char* arg)
{
    static const char* const names[] = {"out:",        "err:",     "bytes:",   "sleep:",       "waitfor:", "pidto:",
                                        "termto:",     "shrugto:", "argsto:",  "finishonterm", "touchat:", "touch",
                                        "touchif:",    "failif:",  "endif:",   "exit:",        "kill:",    "logto:",
                                        "ignoreterm",  "part",     "first:",   "childto:",     "groupto:", "childfor:",
                                        "childuntil:", "record:",  "recordto:"};
    for (const char* n : names) {
        if (std::strncmp(arg, n, std::strlen(n)) == 0)
            return true;
    }
    return false;
}
} // namespace

int main(int argc, char** argv)
{
    if (argc == 1 && std::getenv("VELTRA_TOOL_HELLO")) {
        std::fputs("usage: conv.exe [options] [-i infile]... {[options] outfile}...\n", stderr);
        return 1;
    }
    std::vector<std::string> ops;
    for (int i = 1; i < argc; ++i) {
        if (isOp(argv[i]))
            ops.emplace_back(argv[i]);
        else
            g_plain.emplace_back(argv[i]);
    }
    if (const char* env = std::getenv("FAKE_TOOL_OPS")) {
        std::vector<std::string> fromEnv;
        std::string all = env;
        for (size_t start = 0; start <= all.size();) {
            const size_t end = all.find(';', start);
            const std::string piece = all.substr(start, end == std::string::npos ? std::string::npos : end - start);
            if (!piece.empty())
                fromEnv.push_back(piece);
            if (end == std::string::npos)
                break;
            start = end + 1;
        }
        ops.insert(ops.begin(), fromEnv.begin(), fromEnv.end());
    }
    for (const std::string& op : ops)
        run(op, argc, argv);
    return 0;
}
