#pragma once

#include "ToolRunner.h"

#include <QList>
#include <QString>

// Keeps count of what one batch really converted. A file counts as converted only when the tool ended
// with status 0 and left a non-empty output file; everything else is a failure, kept with the last
// line the tool printed for it, or, for a tool ended by a signal, with that signal.
class BatchOutcome
{
public:
    struct Failure
    {
        QString input;
        QString lastLine;
    };

    void reset();
    // Returns true when the file counts as converted.
    bool record(const QString& input, const QString& output, const ToolRunner::ExitInfo& exit,
                const QString& toolOutput);

    // A file that never reached the tool, with the reason.
    void fail(const QString& input, const QString& reason);
    // The reason of the last failure, when a better one than the tool's is known.
    void setLastReason(const QString& reason)
    {
        if (!m_failures.isEmpty())
            m_failures.last().lastLine = reason;
    }
    // A file converted without a conversion of its own in this batch: a second row of an input that
    // was converted, or a file whose tool finished it just as it was stopped.
    void countConverted() { ++m_converted; }
    // A converted file that got no loudness gain, with the reason (too quiet or too short to measure).
    void noGain(const QString& input, const QString& reason) { m_noGain.append({input, reason}); }
    const QList<Failure>& noGainFiles() const { return m_noGain; }
    // A file whose output was already there, left alone in skip mode.
    void countSkipped() { ++m_skipped; }

    // "the conversion tool was ended by signal 9 (Killed)".
    static QString SignalReason(int signal);

    // A file system the batch wrote to that did not write everything out at the end (OutputSync): the
    // outputs there may not all be on it.
    void notWrittenOut(const QString& folder, const QString& reason) { m_notWrittenOut.append({folder, reason}); }
    // Each with the folder as its input and the system's reason as its last line.
    const QList<Failure>& notWrittenOut() const { return m_notWrittenOut; }

    int converted() const { return m_converted; }
    int skipped() const { return m_skipped; }
    const QList<Failure>& failures() const { return m_failures; }

    // The progress label at the end: "Done." when every file converted, how many failed, or how many
    // were skipped.
    QString label() const;
    // "12 files were already there and were skipped."; empty when none was.
    QString skippedText() const;
    // The message naming the first failed files by name (as many as a message can show on any screen)
    // and how many more there are; empty when none failed.
    QString failureMessage() const;
    // Every failed file, its whole path and its reason, for the message's details; empty when none failed.
    QString failureDetails() const;

    // The message naming the files converted with no loudness gain and why; empty when there are none.
    QString noGainMessage() const;
    QString noGainDetails() const;

    // How many failures the message names at most.
    static constexpr int kNamedInMessage = 15;

    static QString LastLine(const QString& toolOutput);

private:
    int m_converted = 0;
    int m_skipped = 0;
    QList<Failure> m_failures;
    QList<Failure> m_notWrittenOut;
    QList<Failure> m_noGain;
};
