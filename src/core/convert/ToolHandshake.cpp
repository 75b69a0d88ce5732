#include "ToolHandshake.h"

#include "ToolJobs.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace ToolHandshake {

bool Answers(const QByteArray& toolPath)
{
    if (toolPath.isEmpty())
        return false;
    const QByteArray token = QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    const QByteArray expected = QByteArray::fromStdString(ToolJobs::HelloLine(token.toStdString()));

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    const QByteArray hello = QByteArray(ToolJobs::kHelloVariable) + '=' + token;
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e) {
        if (!QByteArray(*e).startsWith(QByteArray(ToolJobs::kHelloVariable) + '='))
            envp.push_back(*e);
    }
    envp.push_back(const_cast<char*>(hello.constData()));
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(toolPath.constData()), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    // A group of its own, so whatever a tool that does not answer started can be ended with it.
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
    posix_spawnattr_setpgroup(&attributes, 0);
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigmask(&attributes, &none);
    pid_t pid = -1;
    const int spawnError = ::posix_spawnp(&pid, argv[0], &actions, &attributes, argv, envp.data());
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawnError != 0) {
        ::close(fds[0]);
        return false;
    }

    // Only the first line counts: a tool that says anything else first is not ours.
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (!answer.contains('\n') && answer.size() <= expected.size()) {
        const qint64 left = kAnswerWithinMs - clock.elapsed();
        if (left <= 0)
            break;
        pollfd p{fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        answer.append(buffer, n);
    }
    ::close(fds[0]);
    const bool ours = answer == expected;

    // Ours has exited by now or is about to; anything else is not waited for.
    int status = 0;
    pid_t r;
    do {
        r = ::waitpid(pid, &status, ours ? 0 : WNOHANG);
    } while (r < 0 && errno == EINTR);
    if (r == 0) {
        ::kill(-pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    return ours && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace ToolHandshake
