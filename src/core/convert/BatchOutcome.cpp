#include "BatchOutcome.h"

#include "filelist/PathBytes.h"

#include <QRegularExpression>
#include <cstring>
#include <sys/stat.h>

void BatchOutcome::reset()
{
    m_converted = 0;
    m_skipped = 0;
    m_failures.clear();
}

bool BatchOutcome::record(const QString& input, const QString& output, const ToolRunner::ExitInfo& exit,
                          const QString& toolOutput)
{
    using Kind = ToolRunner::ExitInfo::Kind;
    struct stat out
    {};
    const bool statusOk = exit.kind == Kind::Unknown || exit.succeeded();
    const bool fileOk = !output.isEmpty() && ::stat(PathBytes::Encode(output).constData(), &out) == 0 &&
                        S_ISREG(out.st_mode) && out.st_size > 0;
    if (statusOk && fileOk) {
        ++m_converted;
        return true;
    }
    // A killed tool's last line is whatever it was printing then (a progress line), not a reason.
    QString why = exit.kind == Kind::Signaled ? SignalReason(exit.code) : LastLine(toolOutput);
    if (why.isEmpty()) {
        if (exit.kind == Kind::Exited && exit.code != 0)
            why = QStringLiteral("The conversion tool failed with status %1.").arg(exit.code);
        else
            why = QStringLiteral("No output file was written.");
    }
    m_failures.append({input, why});
    return false;
}

QString BatchOutcome::SignalReason(int signal)
{
    // The untranslated name: the reason is read beside tool output, which is English too.
    const char* name = ::sigdescr_np(signal);
    return QStringLiteral("the conversion tool was ended by signal %1 (%2)")
        .arg(signal)
        .arg(QString::fromLatin1(name ? name : "unknown signal"));
}

void BatchOutcome::fail(const QString& input, const QString& reason)
{
    m_failures.append({input, reason});
}

QString BatchOutcome::label() const
{
    if (!m_failures.isEmpty())
        return QStringLiteral("%1 failed.").arg(m_failures.size());
    if (m_skipped > 0)
        return skippedText();
    return QStringLiteral("Done.");
}

QString BatchOutcome::skippedText() const
{
    if (m_skipped == 0)
        return {};
    if (m_skipped == 1)
        return QStringLiteral("1 file was already there and was skipped.");
    return QStringLiteral("%1 files were already there and were skipped.").arg(m_skipped);
}

namespace {
// A name or reason as one line of text: a file name may hold line breaks and other control characters,
// and bytes that are not text.
QString oneLine(const QString& text)
{
    QString line = PathBytes::Display(text);
    for (QChar& c : line) {
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    }
    return line;
}

// Cut in the middle, where a long path is least telling: a label cannot wrap a name without spaces, and
// one long enough would push the box off the screen sideways.
QString shortened(const QString& text, int most)
{
    const QString line = oneLine(text);
    if (line.size() <= most)
        return line;
    const int half = (most - 1) / 2;
    return line.left(half) + QChar(0x2026) + line.right(most - 1 - half);
}
} // namespace

QString BatchOutcome::failureMessage() const
{
    if (m_failures.isEmpty())
        return {};
    const int total = m_converted + int(m_failures.size());
    QString text = m_failures.size() == 1
                       ? QStringLiteral("1 of %1 files could not be converted and is back in the list:").arg(total)
                       : QStringLiteral("%1 of %2 files could not be converted and are back in the list:")
                             .arg(m_failures.size())
                             .arg(total);
    text += QLatin1Char('\n');
    // One short line each, so the box stays well inside any screen; the details hold the whole paths.
    for (qsizetype i = 0; i < m_failures.size() && i < kNamedInMessage; ++i) {
        const QString& input = m_failures[i].input;
        text += QLatin1Char('\n') + shortened(input.mid(input.lastIndexOf(QLatin1Char('/')) + 1), 40) +
                QStringLiteral(": ") + shortened(m_failures[i].lastLine, 60);
    }
    const qsizetype more = m_failures.size() - kNamedInMessage;
    if (more > 0)
        text += QStringLiteral("\n\n... and %1 more.").arg(more);
    text += QStringLiteral("\n\nShow Details lists every file with its folder.");
    return text;
}

QString BatchOutcome::failureDetails() const
{
    QString text;
    for (const Failure& f : m_failures)
        text += oneLine(f.input) + QStringLiteral("\n    ") + oneLine(f.lastLine) + QLatin1Char('\n');
    return text;
}

QString BatchOutcome::LastLine(const QString& toolOutput)
{
    static const QRegularExpression lineEnd(QStringLiteral("[\r\n]"));
    const QStringList lines = toolOutput.split(lineEnd, Qt::SkipEmptyParts);
    for (auto it = lines.crbegin(); it != lines.crend(); ++it) {
        const QString line = it->trimmed();
        if (!line.isEmpty())
            return line;
    }
    return {};
}
