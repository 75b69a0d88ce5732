#include "ProgressPrinter.h"

#include "SafeText.h"
#include "filelist/GetFile.h"

#include <QStringList>
#include <cmath>

namespace {
// Erases from the cursor to the line's end, after a carriage return took the cursor to its start.
const QByteArray kClearToEnd = QByteArrayLiteral("\x1b[K");
const QString kProgram = QStringLiteral("veltra-wma-converter: ");
} // namespace

ProgressPrinter::ProgressPrinter(Style style, int columns, Sink out, Sink err, Clock clock)
    : m_style(style), m_columns(qMax(columns, 20)), m_out(std::move(out)), m_err(std::move(err)),
      m_clock(std::move(clock))
{}

QString ProgressPrinter::Duration(qint64 seconds)
{
    seconds = qMax<qint64>(seconds, 0);
    const qint64 h = seconds / 3600;
    const qint64 m = seconds / 60 % 60;
    const qint64 s = seconds % 60;
    const QString ss = QStringLiteral("%1").arg(s, 2, 10, QLatin1Char('0'));
    if (h > 0)
        return QStringLiteral("%1:%2:%3").arg(h).arg(m, 2, 10, QLatin1Char('0')).arg(ss);
    return QStringLiteral("%1:%2").arg(m).arg(ss);
}

void ProgressPrinter::begin(int files)
{
    m_files += files;
    m_startMs = m_clock();
    redraw();
}

double ProgressPrinter::fraction() const
{
    if (m_files <= 0)
        return 0;
    double done = m_converted + m_failed + m_skipped;
    for (int p : m_percent)
        done += qBound(0, p, 100) / 100.0;
    return qBound(0.0, done / m_files, 1.0);
}

QString ProgressPrinter::statusLine() const
{
    const double f = fraction();
    const int ended = m_converted + m_failed + m_skipped;
    QString line = QStringLiteral("%1% %2/%3").arg(int(std::floor(f * 100)), 3).arg(ended).arg(m_files);
    if (m_failed > 0)
        line += QStringLiteral(", %1 failed").arg(m_failed);
    // The time left from the pace so far, once there is a pace to go by; paused, there is no pace.
    const qint64 elapsedMs = convertingMs();
    if (m_pausedAt >= 0)
        line += QStringLiteral(", paused");
    else if (f >= 0.01 && elapsedMs >= 1000)
        line += QStringLiteral(", %1 left").arg(Duration(qint64(std::ceil(elapsedMs / 1000.0 * (1 - f) / f))));
    QStringList names;
    for (const QString& input : m_running)
        names.append(SafeText::Escape(GetFile::ParseFileName(input)));
    if (!names.isEmpty())
        line += QStringLiteral("  ") + names.join(QStringLiteral(", "));
    // The last column stays free: writing there makes some terminals wrap before the carriage return.
    return SafeText::Elide(line, m_columns - 1);
}

qint64 ProgressPrinter::convertingMs() const
{
    const qint64 now = m_clock();
    return now - m_startMs - m_pausedMs - (m_pausedAt >= 0 ? now - m_pausedAt : 0);
}

void ProgressPrinter::setPaused(bool paused)
{
    if (paused == (m_pausedAt >= 0))
        return;
    if (paused) {
        m_pausedAt = m_clock();
    } else {
        m_pausedMs += m_clock() - m_pausedAt;
        m_pausedAt = -1;
    }
    redraw();
}

bool ProgressPrinter::mayDraw() const
{
    return m_style == Style::Line && (!m_inForeground || m_inForeground());
}

void ProgressPrinter::redraw()
{
    if (!mayDraw())
        return;
    const QString line = statusLine();
    if (line == m_drawn)
        return;
    m_out('\r' + line.toUtf8() + kClearToEnd);
    m_drawn = line;
}

void ProgressPrinter::clearLine()
{
    if (mayDraw() && !m_drawn.isEmpty()) {
        m_out(QByteArrayLiteral("\r") + kClearToEnd);
        m_drawn.clear();
    }
}

void ProgressPrinter::fileStarted(const QString& input)
{
    const int key = m_nextKey++;
    m_running.insert(key, input);
    m_startKey.insert(input, key);
    m_percent.insert(input, 0);
    redraw();
}

void ProgressPrinter::fileProgress(const QString& input, int percent)
{
    if (!m_percent.contains(input))
        return;
    m_percent[input] = percent;
    redraw();
}

void ProgressPrinter::batchNote(const QString& text)
{
    clearLine();
    m_err((kProgram + SafeText::Escape(text) + QLatin1Char('\n')).toUtf8());
    redraw();
}

void ProgressPrinter::fileEnded(const QString& input, BatchDriver::FileEnd how, const QString& reason,
                                const QString& note)
{
    if (m_startKey.contains(input))
        m_running.remove(m_startKey.take(input));
    m_percent.remove(input);
    const QString name = SafeText::Escape(input);
    QString word;
    switch (how) {
    case BatchDriver::FileEnd::Converted:
        ++m_converted;
        word = QStringLiteral("ok");
        if (!note.isEmpty())
            word += QStringLiteral(" (") + SafeText::Escape(note) + QLatin1Char(')');
        // Why a file got no gain is said on a terminal too, where converted files are not named.
        if (m_style == Style::Line && note.startsWith(QLatin1String("no gain"))) {
            clearLine();
            m_out((name + QStringLiteral(": ") + word + QLatin1Char('\n')).toUtf8());
        }
        break;
    case BatchDriver::FileEnd::Skipped:
        ++m_skipped;
        word = QStringLiteral("skipped");
        break;
    case BatchDriver::FileEnd::Failed:
        ++m_failed;
        word = QStringLiteral("failed: ") + SafeText::Escape(reason);
        clearLine();
        m_err((kProgram + name + QStringLiteral(": ") + SafeText::Escape(reason) + QLatin1Char('\n')).toUtf8());
        break;
    }
    if (m_style == Style::Plain)
        m_out((name + QStringLiteral(": ") + word + QLatin1Char('\n')).toUtf8());
    redraw();
}

void ProgressPrinter::refused(const QString& path, const QString& reason)
{
    ++m_files;
    ++m_failed;
    clearLine();
    const QString name = SafeText::Escape(path);
    m_err((kProgram + name + QStringLiteral(": ") + SafeText::Escape(reason) + QLatin1Char('\n')).toUtf8());
    if (m_style == Style::Plain)
        m_out((name + QStringLiteral(": failed: ") + SafeText::Escape(reason) + QLatin1Char('\n')).toUtf8());
    redraw();
}

void ProgressPrinter::unsearched(const QString& folder, const QString& reason, bool verbose)
{
    ++m_unsearched;
    if (!verbose)
        return;
    m_unsearchedNamed = true;
    clearLine();
    m_err((kProgram + SafeText::Escape(folder) + QStringLiteral(": could not be searched: ") +
           SafeText::Escape(reason) + QLatin1Char('\n'))
              .toUtf8());
    redraw();
}

void ProgressPrinter::sayUnsearched()
{
    // Left out without a word, a folder's music would be lost: even a quiet run says so.
    if (m_unsearched == 0)
        return;
    clearLine();
    m_err((kProgram +
           (m_unsearched == 1 ? QStringLiteral("1 folder could not be searched")
                              : QStringLiteral("%1 folders could not be searched").arg(m_unsearched)) +
           (m_unsearchedNamed ? QString() : QStringLiteral(" (--verbose names them)")) + QLatin1Char('\n'))
              .toUtf8());
}

void ProgressPrinter::finish(int stoppedBy, const QString& outputFolder)
{
    clearLine();
    sayUnsearched();
    if (m_style == Style::Quiet)
        return;
    const qint64 seconds = (m_clock() - m_startMs + 500) / 1000;
    QString text = stoppedBy ? QStringLiteral("Stopped: %1 of %2 files converted").arg(m_converted).arg(m_files)
                             : QStringLiteral("%1 of %2 files converted").arg(m_converted).arg(m_files);
    if (m_failed > 0)
        text += QStringLiteral(", %1 failed").arg(m_failed);
    if (m_skipped > 0)
        text += QStringLiteral(", %1 skipped").arg(m_skipped);
    text += QStringLiteral(" in %1").arg(Duration(seconds));
    if (m_converted > 0 && !outputFolder.isEmpty())
        text += QStringLiteral("; output in ") + SafeText::Escape(outputFolder);
    m_out((text + QStringLiteral(".\n")).toUtf8());
}
