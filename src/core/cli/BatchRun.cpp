#include "BatchRun.h"

#include "BatchOptions.h"
#include "ProgressPrinter.h"
#include "SafeText.h"
#include "StopSignals.h"
#include "convert/BatchDriver.h"
#include "filelist/FileQueue.h"
#include "filelist/ListFiller.h"
#include "ui/MsgBox.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QSet>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

namespace BatchRun {

namespace {
void write(int fd, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n <= 0)
            return; // a closed pipe: the run goes on, only unseen
        done += n;
    }
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

int Run(const QList<QByteArray>& arguments, const QString& programFolder, const QString& currentFolder)
{
    const BatchOptions::Parsed parsed =
        BatchOptions::Parse(arguments, BatchOptions::SavedSettings(programFolder), currentFolder);
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

    // What the window would show in a message box (a tool that cannot start, an output folder that
    // cannot be used) goes to standard error.
    MsgBox::setPresenter([](const MsgBox::Shown& shown) { toError(SafeText::Escape(shown.text)); });

    const ProgressPrinter::Style style = parsed.quiet              ? ProgressPrinter::Style::Quiet
                                         : ::isatty(STDOUT_FILENO) ? ProgressPrinter::Style::Line
                                                                   : ProgressPrinter::Style::Plain;
    QElapsedTimer clock;
    clock.start();
    ProgressPrinter printer(
        style, terminalColumns(), [](const QByteArray& b) { write(STDOUT_FILENO, b); },
        [](const QByteArray& b) { write(STDERR_FILENO, b); }, [&clock] { return clock.elapsed(); });

    FileQueue queue;
    ListFiller filler(&queue);
    BatchDriver driver(&queue, [request = parsed.request] { return request; });
    int stoppedBy = 0;
    StopSignals::install([&](int signal) {
        if (stoppedBy == 0)
            stoppedBy = signal;
        filler.stopScan();
        driver.Stop();
    });

    QStringList found;
    for (const QString& path : parsed.paths) {
        if (QFileInfo::exists(path))
            found.append(path);
        else
            printer.refused(path, QStringLiteral("no such file or folder"));
    }
    filler.addPaths(found);
    // A file named twice, or found in a folder named too, converts once.
    QSet<QString> seen;
    for (int i = 0; i < queue.count();) {
        if (seen.contains(queue.at(i))) {
            queue.removeAt(i);
        } else {
            seen.insert(queue.at(i));
            ++i;
        }
    }

    if (stoppedBy != 0) {
        printer.finish(stoppedBy, QString());
        return 128 + stoppedBy;
    }
    if (queue.isEmpty()) {
        if (!found.isEmpty())
            toError(QStringLiteral("no file to convert was found"));
        return CannotRun;
    }

    QObject::connect(&driver, &BatchDriver::fileStarted, &driver,
                     [&](const QString& input, int) { printer.fileStarted(input); });
    QObject::connect(&driver, &BatchDriver::fileProgress, &driver,
                     [&](const QString& input, int percent) { printer.fileProgress(input, percent); });
    QObject::connect(&driver, &BatchDriver::fileEnded, &driver,
                     [&](const QString& input, BatchDriver::FileEnd how, const QString& reason) {
                         printer.fileEnded(input, how, reason);
                     });
    QEventLoop loop;
    BatchDriver::End end = BatchDriver::End::Finished;
    QString outputFolder;
    QObject::connect(&driver, &BatchDriver::batchEnded, &loop, [&](BatchDriver::End how, const QString& folder) {
        end = how;
        outputFolder = folder.isEmpty() ? parsed.request.outputFolder : folder;
        // Stopped: the tools have been told; the run ends once the last has gone and its part file with it.
        if (driver.toolsEnding() == 0)
            loop.quit();
    });
    QObject::connect(&driver, &BatchDriver::toolsEnded, &loop, [&] {
        if (!driver.isConverting())
            loop.quit();
    });

    driver.setFilesAtOnce(parsed.request.options.FilesAtOnce);
    printer.begin(int(queue.count()));
    driver.Start();
    loop.exec();

    printer.finish(stoppedBy, outputFolder);
    if (end == BatchDriver::End::CannotStart && printer.converted() == 0)
        return CannotRun;
    if (end == BatchDriver::End::Stopped || stoppedBy != 0)
        return 128 + (stoppedBy != 0 ? stoppedBy : 2);
    return printer.failed() > 0 ? SomeFailed : AllConverted;
}

} // namespace BatchRun
