#pragma once

#include <QString>
#include <QStringList>
#include <functional>

class frmMain;

// The program from its first line to its event loop: the single-instance claim (a second start hands
// its files over and ends), the window, the files and folders named on the command line, and the ways
// out. main() calls it; a test program calls it with a hook to watch the window.
namespace ProgramStart {

// The paths named on the command line (Qt's own options already taken out, each decoded by PathBytes),
// made absolute.
QStringList PathsFrom(const QStringList& arguments, const QString& currentFolder);

// Runs the program; returns the process's exit status. ready, when given, is called once the window is
// shown.
int Run(const QString& executablePath, const QString& programFolder, const QStringList& paths,
        const std::function<void(frmMain&)>& ready = {});

} // namespace ProgramStart
