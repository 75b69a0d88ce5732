#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A conversion from a terminal, from the parsed command line to the exit status, on a
// QCoreApplication that the caller made: the same batch the window runs (BatchDriver, the tool in the
// program folder's data/, the naming rule), with no window, no single-instance lock and no hand-over,
// and the settings files read but never written.
namespace BatchRun {

enum Status {
    AllConverted = 0, // every file converted or was skipped
    SomeFailed = 1,
    CannotRun = 2,    // a usage error, or nothing could be started
    Interrupted = 130 // Ctrl+C; another stopping signal gives 128 + its number
};

// arguments: the program's, as bytes, program name first and "--convert" after it.
int Run(const QList<QByteArray>& arguments, const QString& programFolder, const QString& currentFolder);

} // namespace BatchRun
