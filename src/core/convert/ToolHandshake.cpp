#include "ToolHandshake.h"

#include "ChildProcess.h"
#include "ToolJobs.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace ToolHandshake {

namespace {
// The tool's first line, or what it said before it stopped, went quiet, or said too much.
QByteArray firstLine(int fd, qsizetype atMost)
{
    QByteArray answer;
    QElapsedTimer clock;
    clock.start();
    while (!answer.contains('\n') && answer.size() <= atMost) {
        const qint64 left = kAnswerWithinMs - clock.elapsed();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        answer.append(buffer, n);
    }
    return answer;
}
} // namespace

bool Answers(const QByteArray& toolPath)
{
    if (toolPath.isEmpty())
        return false;
    const QByteArray token = QByteArray::number(QRandomGenerator::global()->generate64(), 16);
    const QByteArray expected = QByteArray::fromStdString(ToolJobs::HelloLine(token.toStdString()));
    // A group of its own, so whatever a tool that does not answer started can be ended with it.
    const auto child = ChildProcess::Spawn({{toolPath},
                                            {QByteArray(ToolJobs::kHelloVariable) + '=' + token},
                                            ChildProcess::Input::Nothing,
                                            ChildProcess::Errors::Nowhere});
    if (!child)
        return false;
    // Only the first line counts: a tool that says anything else first is not ours.
    const bool ours = firstLine(child->console(), expected.size()) == expected;
    // Ours has exited by now or is about to; anything else is not waited for.
    if (!ours && !child->reap())
        ::kill(-child->pid(), SIGKILL);
    child->reap(true);
    const int status = child->waitStatus();
    return ours && status >= 0 && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

} // namespace ToolHandshake
