#include "BatchOutcome.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <cstring>

void BatchOutcome::reset()
{
    m_converted = 0;
    m_failures.clear();
}

bool BatchOutcome::record(const QString& input, const QString& output, const DOSOutputs::ExitInfo& exit,
                          const QString& toolOutput)
{
    using Kind = DOSOutputs::ExitInfo::Kind;
    const QFileInfo out(output);
    const bool statusOk = exit.kind == Kind::Unknown || exit.succeeded();
    const bool fileOk = !output.isEmpty() && out.isFile() && out.size() > 0;
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
    if (m_failures.isEmpty())
        return QStringLiteral("Done.");
    return QStringLiteral("%1 failed.").arg(m_failures.size());
}

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
    for (const Failure& f : m_failures)
        text += QStringLiteral("\n\n") + f.input + QStringLiteral("\n    ") + f.lastLine;
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
