#pragma once

#include "convert/BatchDriver.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <functional>

// What a conversion from a terminal prints. On a terminal, one line redrawn in place: the batch's
// percentage, files done of all, failures so far, the time left and the names converting now, cut to
// the terminal's width. Elsewhere (a pipe, a log file), one plain line per file as it ends. Failures are
// named with their reason on standard error either way, and a summary closes the run. Every name and
// reason is escaped first (SafeText), so nothing from a file name reaches the terminal as a control.
class ProgressPrinter
{
public:
    enum class Style {
        Line,  // a terminal: one line redrawn
        Plain, // not a terminal: a line per file
        Quiet  // failures only
    };
    using Sink = std::function<void(const QByteArray&)>;
    using Clock = std::function<qint64()>; // milliseconds, from any start

    ProgressPrinter(Style style, int columns, Sink out, Sink err, Clock clock);

    void begin(int files);
    void fileStarted(const QString& input);
    void fileProgress(const QString& input, int percent);
    // note: what loudness did to a converted file ("-6.5 dB", or why it got no gain), shown after "ok".
    void fileEnded(const QString& input, BatchDriver::FileEnd how, const QString& reason,
                   const QString& note = QString());
    // Something said once about the whole run, on standard error.
    void batchNote(const QString& text);
    // A named path that could not be converted at all (it does not exist, say).
    void refused(const QString& path, const QString& reason);
    // Folders the search could not open: counted for the summary, and named when verbose.
    void unsearched(const QString& folder, const QString& reason, bool verbose);
    // How many folders could not be searched, on standard error (finish says it too).
    void sayUnsearched();
    // The closing summary; stoppedBy is the signal that stopped the run, or 0.
    void finish(int stoppedBy, const QString& outputFolder);
    // The batch is held (Ctrl+Z) or goes on: the line says "paused", and the time left counts only the
    // time the batch was converting.
    void setPaused(bool paused);
    // Whether the line may be drawn now: false while the run is in the background of its terminal
    // (after Ctrl+Z and bg), where a redrawn line would land in the middle of the user's shell.
    void setForeground(std::function<bool()> inForeground) { m_inForeground = std::move(inForeground); }

    // The progress line as it stands, without the terminal's controls.
    QString statusLine() const;
    int converted() const { return m_converted; }
    int failed() const { return m_failed; }
    int skipped() const { return m_skipped; }
    int unsearchedFolders() const { return m_unsearched; }

    // "1:05", "12:00:09".
    static QString Duration(qint64 seconds);

private:
    void redraw();
    void clearLine();
    double fraction() const;
    bool mayDraw() const;
    qint64 convertingMs() const; // since begin, the pauses left out

    Style m_style;
    int m_columns;
    Sink m_out;
    Sink m_err;
    Clock m_clock;
    qint64 m_startMs = 0;
    qint64 m_pausedMs = 0;  // the pauses that have ended
    qint64 m_pausedAt = -1; // when the current pause began, -1 when converting
    std::function<bool()> m_inForeground;
    int m_files = 0;
    int m_converted = 0;
    int m_failed = 0;
    int m_skipped = 0;
    int m_unsearched = 0;
    bool m_unsearchedNamed = false;
    QMap<int, QString> m_running;  // by start order
    QMap<QString, int> m_percent;  // input -> percent, for the files converting now
    QMap<QString, int> m_startKey; // input -> key in m_running
    int m_nextKey = 0;
    QString m_drawn; // the line on the terminal now, empty when none
};
