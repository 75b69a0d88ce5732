#include "BatchRun.h"

#include "BatchOptions.h"
#include "ProgressPrinter.h"
#include "SafeText.h"
#include "StopSignals.h"
#include "SuspendSignals.h"
#include "WriteAll.h"
#include "convert/BatchDriver.h"
#include "filelist/FileQueue.h"
#include "filelist/ListFiller.h"
#include "ui/MsgBox.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSet>
#include <cstdio>
#include <cstring>
#include <optional>
#include <sys/ioctl.h>
#include <unistd.h>

namespace BatchRun {

namespace {
// The first error writing the report, 0 while every byte went out. A closed pipe or a full disk does not
// stop the conversions, but the run then ends in failure, as any program whose output was lost does.
int g_writeError = 0;

void write(int fd, const QByteArray& bytes)
{
    if (!WriteAll(fd, bytes.constData(), size_t(bytes.size())) && g_writeError == 0)
        g_writeError = errno;
}

// The status to end with once the report is out: a lost report is said (where standard error still
// takes it) and is a failure even when every file converted.
int reported(int status)
{
    if (g_writeError == 0 || status != AllConverted)
        return status;
    const int error = g_writeError;
    const QByteArray text =
        "veltra-wma-converter: the report could not be written: " + QByteArray(std::strerror(error)) + '\n';
    [[maybe_unused]] const bool said = WriteAll(STDERR_FILENO, text.constData(), size_t(text.size()));
    return SomeFailed;
}

int terminalColumns()
{
    winsize size{};
    if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return 80;
}

void toError(const QString& text)
{
    write(STDERR_FILENO, (QStringLiteral("veltra-wma-converter: ") + text + QLatin1Char('\n')).toUtf8());
}
} // namespace

namespace {
// What the command line asks for when it is not a conversion: the status to end with; nothing for a
// conversion.
std::optional<int> answerWithoutConverting(const BatchOptions::Parsed& parsed)
{
    switch (parsed.action) {
    case BatchOptions::Parsed::Action::Help:
        write(STDOUT_FILENO, BatchOptions::HelpText().toUtf8());
        return AllConverted;
    case BatchOptions::Parsed::Action::Version:
        write(STDOUT_FILENO, QStringLiteral("veltra-wma-converter %1.%2.%3\n")
                                 .arg(VELTRA_VERSION_MAJOR)
                                 .arg(VELTRA_VERSION_MINOR)
                                 .arg(VELTRA_VERSION_PATCH)
                                 .toUtf8());
        return AllConverted;
    case BatchOptions::Parsed::Action::UsageError:
        toError(SafeText::Escape(parsed.message));
        write(STDERR_FILENO, "Try 'veltra-wma-converter --convert --help'.\n");
        return CannotRun;
    case BatchOptions::Parsed::Action::Convert:
        break;
    }
    return std::nullopt;
}

// One conversion from the terminal: the queue, the search that fills it, the batch and what it prints.
class Session
{
public:
    explicit Session(const BatchOptions::Parsed& parsed)
        : m_parsed(parsed),
          m_printer(
              printStyle(parsed), terminalColumns(), [](const QByteArray& b) { write(STDOUT_FILENO, b); },
              [](const QByteArray& b) { write(STDERR_FILENO, b); }, [this] { return m_clock.elapsed(); }),
          m_filler(&m_queue), m_driver(&m_queue)
    {
        m_clock.start();
        StopSignals::install([this](int signal) {
            if (m_stoppedBy == 0)
                m_stoppedBy = signal;
            m_filler.stopScan();
            m_driver.Stop();
        });
        // Ctrl+Z holds the tools with the program; fg or bg lets both go on.
        SuspendSignals::install([this] { m_heldByStop = m_driver.Pause(); },
                                [this] {
                                    if (m_heldByStop)
                                        m_driver.Resume();
                                    m_heldByStop = false;
                                });
        if (printStyle(parsed) == ProgressPrinter::Style::Line)
            m_printer.setForeground(&SuspendSignals::inForeground);
    }

    int run()
    {
        collect();
        if (m_stoppedBy != 0) {
            m_printer.finish(m_stoppedBy, QString());
            return 128 + m_stoppedBy;
        }
        if (m_queue.isEmpty()) {
            m_printer.sayUnsearched();
            if (m_found > 0)
                toError(QStringLiteral("no file to convert was found"));
            return CannotRun;
        }
        convert();
        return exitStatus();
    }

private:
    static ProgressPrinter::Style printStyle(const BatchOptions::Parsed& parsed)
    {
        if (parsed.quiet)
            return ProgressPrinter::Style::Quiet;
        return ::isatty(STDOUT_FILENO) ? ProgressPrinter::Style::Line : ProgressPrinter::Style::Plain;
    }

    // The files named and those found in the folders named, each once.
    void collect()
    {
        QStringList found;
        for (const QString& path : m_parsed.paths) {
            if (QFileInfo::exists(path))
                found.append(path);
            else
                m_printer.refused(path, QStringLiteral("no such file or folder"));
        }
        m_found = int(found.size());
        // The output folder is never searched: a library converted into a folder inside it would
        // otherwise convert the last run's outputs again on every run, one level deeper each time.
        if (m_parsed.request.options.OutputFiles != OutputLayout::BesideOriginal)
            m_filler.setSkipFolders([folder = m_parsed.request.outputFolder] { return QList<QString>{folder}; });
        m_filler.addPaths(found);
        for (const FileSearch::Collect::Unsearched& u : m_filler.unsearched())
            m_printer.unsearched(u.folder, u.reason, m_parsed.verbose);
        // An album image listed whole, and why; a sheet read in another encoding than UTF-8.
        for (const QString& note : m_filler.albumNotes())
            toError(SafeText::Escape(note));
        // A file named twice, or found in a folder named too, converts once; an image's tracks are
        // inputs of their own ("PATH#N").
        QSet<QString> seen;
        for (int i = 0; i < m_queue.count();) {
            if (seen.contains(m_queue.at(i))) {
                m_queue.removeAt(i);
            } else {
                seen.insert(m_queue.at(i));
                ++i;
            }
        }
    }

    // Runs the batch to its end, printing as its files go.
    void convert()
    {
        QObject::connect(&m_driver, &BatchDriver::fileStarted, &m_driver,
                         [this](const QString& input, int) { m_printer.fileStarted(input); });
        QObject::connect(&m_driver, &BatchDriver::fileProgress, &m_driver,
                         [this](const QString& input, int percent) { m_printer.fileProgress(input, percent); });
        QObject::connect(&m_driver, &BatchDriver::fileEnded, &m_driver,
                         [this](const QString& input, BatchDriver::FileEnd how, const QString& reason) {
                             m_printer.fileEnded(input, how, reason, m_driver.loudnessNote(input));
                         });
        QObject::connect(&m_driver, &BatchDriver::pausedChanged, &m_driver,
                         [this](bool paused) { m_printer.setPaused(paused); });
        QObject::connect(&m_driver, &BatchDriver::batchNote, &m_driver,
                         [this](const QString& text) { m_printer.batchNote(text); });
        QEventLoop loop;
        QObject::connect(&m_driver, &BatchDriver::batchEnded, &loop, [&](BatchDriver::End how, const QString& folder) {
            m_end = how;
            m_outputFolder = folder.isEmpty() ? m_parsed.request.outputFolder : folder;
            // Stopped: the tools have been told; the run ends once the last has gone and its part file
            // with it.
            if (m_driver.toolsEnding() == 0)
                loop.quit();
        });
        QObject::connect(&m_driver, &BatchDriver::toolsEnded, &loop, [&] {
            if (!m_driver.isConverting())
                loop.quit();
        });
        m_printer.begin(int(m_queue.count()));
        m_driver.Start(m_parsed.request);
        loop.exec();
        m_printer.finish(m_stoppedBy, m_outputFolder);
    }

    int exitStatus() const
    {
        if (m_end == BatchDriver::End::CannotStart && m_printer.converted() == 0)
            return CannotRun;
        if (m_end == BatchDriver::End::Stopped || m_stoppedBy != 0)
            return 128 + (m_stoppedBy != 0 ? m_stoppedBy : 2);
        return m_printer.failed() > 0 || m_printer.unsearchedFolders() > 0 ||
                       !m_driver.outcome().notWrittenOut().isEmpty()
                   ? SomeFailed
                   : AllConverted;
    }

    const BatchOptions::Parsed& m_parsed;
    QElapsedTimer m_clock;
    ProgressPrinter m_printer;
    FileQueue m_queue;
    ListFiller m_filler;
    BatchDriver m_driver;
    int m_stoppedBy = 0;
    bool m_heldByStop = false; // Ctrl+Z paused the batch
    int m_found = 0;
    BatchDriver::End m_end = BatchDriver::End::Finished;
    QString m_outputFolder;
};
} // namespace

int Run(const QList<QByteArray>& arguments, const QString& programFolder, const QString& currentFolder)
{
    const BatchOptions::Parsed parsed =
        BatchOptions::Parse(arguments, BatchOptions::SavedSettings(programFolder), currentFolder);
    if (const std::optional<int> status = answerWithoutConverting(parsed))
        return reported(*status);
    // What the window would show in a message box (a tool that cannot start, an output folder that
    // cannot be used) goes to standard error.
    MsgBox::setPresenter([](const MsgBox::Shown& shown) { toError(SafeText::Escape(shown.text)); });
    Session session(parsed);
    return reported(session.run());
}

} // namespace BatchRun
