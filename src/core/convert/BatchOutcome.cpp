#include "BatchOutcome.h"

#include "filelist/PathBytes.h"

#include <QRegularExpression>
#include <cstring>
#include <sys/stat.h>

void BatchOutcome::reset()
{
    m_noGain.clear();
    m_converted = 0;
    m_skipped = 0;
    m_failures.clear();
    m_notWrittenOut.clear();
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
    if (!m_notWrittenOut.isEmpty())
        return QStringLiteral("Not all written out.");
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

// Cut to at most `most` characters, keeping the start, the end (the extension, a " (2)") and the place
// where the name first differs from the others listed: files named alike ("Disc 1 - 07 - ...", "Disc 1
// - 08 - ...") must not lose exactly the part that tells them apart. A label cannot wrap a name without
// spaces, and one long enough would push the box off the screen sideways.
QString shortened(const QString& line, int most, qsizetype differsAt = 0)
{
    if (line.size() <= most)
        return line;
    const QChar dots(0x2026);
    const qsizetype tail = most / 3;
    const qsizetype head = most - 1 - tail;
    if (differsAt < head - 2 || differsAt >= line.size() - tail)
        return line.left(head) + dots + line.right(tail);
    // Start, the differing place, end: three pieces and two cuts.
    const qsizetype start = most / 4;
    const qsizetype window = most - start - tail - 2;
    const qsizetype from = qBound(start, differsAt - window / 3, line.size() - tail - window);
    if (from <= start)
        return line.left(start + window + 1) + dots + line.right(tail);
    return line.left(start) + dots + line.mid(from, window) + dots + line.right(tail);
}

// Where a name first differs from the most alike of the others.
qsizetype firstDifference(const QString& name, const QStringList& others)
{
    qsizetype most = 0;
    for (const QString& other : others) {
        if (&other == &name || other == name)
            continue;
        qsizetype i = 0;
        while (i < name.size() && i < other.size() && name[i] == other[i])
            ++i;
        most = qMax(most, i);
    }
    return most;
}
} // namespace

namespace {
// One short line per file, name and reason, so a box stays well inside any screen; the details hold the
// whole paths.
QString namedLines(const QList<BatchOutcome::Failure>& files)
{
    QStringList names;
    for (qsizetype i = 0; i < files.size() && i < BatchOutcome::kNamedInMessage; ++i) {
        const QString& input = files[i].input;
        names.append(oneLine(input.mid(input.lastIndexOf(QLatin1Char('/')) + 1)));
    }
    QString text;
    for (qsizetype i = 0; i < names.size(); ++i)
        text += QLatin1Char('\n') + shortened(names[i], 40, firstDifference(names[i], names)) + QStringLiteral(": ") +
                shortened(oneLine(files[i].lastLine), 60);
    const qsizetype more = files.size() - BatchOutcome::kNamedInMessage;
    if (more > 0)
        text += QStringLiteral("\n\n... and %1 more.").arg(more);
    return text + QStringLiteral("\n\nShow Details lists every file with its folder.");
}

QString detailLines(const QList<BatchOutcome::Failure>& files)
{
    QString text;
    for (const BatchOutcome::Failure& f : files)
        text += oneLine(f.input) + QStringLiteral("\n    ") + oneLine(f.lastLine) + QLatin1Char('\n');
    return text;
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
    return text + QLatin1Char('\n') + namedLines(m_failures);
}

QString BatchOutcome::failureDetails() const
{
    return detailLines(m_failures);
}

QString BatchOutcome::noGainMessage() const
{
    if (m_noGain.isEmpty())
        return {};
    const QString text = m_noGain.size() == 1
                             ? QStringLiteral("1 file was converted with no loudness gain:")
                             : QStringLiteral("%1 files were converted with no loudness gain:").arg(m_noGain.size());
    return text + QLatin1Char('\n') + namedLines(m_noGain);
}

QString BatchOutcome::noGainDetails() const
{
    return detailLines(m_noGain);
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
