#include "ToolRunner.h"

#include "ChildProcess.h"
#include "ToolTags.h"
#include "filelist/PathBytes.h"

#include <cerrno>
#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

ToolRunner::ExitInfo ToolRunner::exitInfoOf(int waitStatus)
{
    if (waitStatus < 0)
        return {};
    if (WIFEXITED(waitStatus))
        return {ExitInfo::Kind::Exited, WEXITSTATUS(waitStatus)};
    if (WIFSIGNALED(waitStatus))
        return {ExitInfo::Kind::Signaled, WTERMSIG(waitStatus)};
    return {};
}

bool ToolRunner::Pause()
{
    const pid_t group = processId();
    if (group <= 0 || ::kill(-group, SIGSTOP) != 0)
        return false;
    m_pausedGroup = group;
    return true;
}

bool ToolRunner::Resume()
{
    const bool held = isPaused();
    m_pausedGroup = -1;
    return held && ::kill(-processId(), SIGCONT) == 0;
}

void ToolRunner::beginCommand()
{
    m_outputs.clear();
    m_decoder = QStringDecoder(QStringDecoder::Utf8);
    m_lastExit = {};
    m_records.clear();
    m_tags.clear();
    m_recordLines.clear();
    m_recordBuffer.clear();
}

ssize_t ToolRunner::readConsolePiece(int fd, bool handOn)
{
    char buffer[kReadSize];
    ssize_t n;
    do {
        n = ::read(fd, buffer, sizeof buffer);
    } while (n < 0 && errno == EINTR);
    if (n > 0 && handOn) {
        const QString piece = m_decoder.decode(QByteArrayView(buffer, n));
        m_outputs += piece;
        emit ReceiveOutputs(piece);
    }
    return n;
}

QList<ToolRecord::Entry> ToolRunner::readRecords(int fd, bool* ended)
{
    *ended = false;
    char buffer[kReadSize];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // The end of the pipe stays readable for ever: nothing more will come.
            *ended = n == 0;
            break;
        }
        m_recordBuffer.append(buffer, n);
    }
    QList<ToolRecord::Entry> entries;
    // Unknown lines are skipped; a line cut by the tool's end is not a record.
    for (qsizetype end; (end = m_recordBuffer.indexOf('\n')) >= 0;) {
        const QByteArray line = m_recordBuffer.left(end);
        m_recordBuffer.remove(0, end + 1);
        const std::string_view text(line.constData(), size_t(line.size()));
        if (const auto entry = ToolRecord::Parse(text))
            entries.append(*entry);
        else {
            // A probe's tags and an analysis's share the "tag" line: each reader takes what it knows.
            if (const auto tag = ToolTags::Parse(text))
                m_tags.insert(QString::fromLatin1(tag->field),
                              PathBytes::Decode(QByteArray::fromStdString(tag->value)));
            if (m_recordLines.size() < kMaxRecordLines)
                m_recordLines.append(line);
        }
    }
    return entries;
}

void ToolRunner::stopChild(ChildProcess& child, std::function<void(ExitInfo)> afterEnd)
{
    child.stop(kKillAfterMs, [afterEnd = std::move(afterEnd)](int status) {
        if (afterEnd)
            afterEnd(exitInfoOf(status));
    });
}
