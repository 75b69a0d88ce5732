#pragma once

#include <QString>
#include <QStringList>

// Where the program keeps its settings and writes by default. A program run from its build folder or
// from a copy in a folder of the user's keeps setup.ini and options.ini beside its executable and
// converts into "output" there. An installed program (its folder is an install destination compiled
// in, or one this user cannot write) keeps them in the user's configuration folder,
// ~/.config/veltra-wma-converter ($XDG_CONFIG_HOME honoured), and converts into "Veltra WMA Converter"
// in the user's music folder, or in the home folder when there is none.
namespace ProgramPlace {

struct Places
{
    bool installed = false;
    QString settingsFolder;
    QString defaultOutputFolder;
};

// The folders an install puts the program in: the configured prefix's and the Debian package's.
QStringList InstallFolders();

// True when files can be made in the folder (tried, not guessed from its mode: root may not write a
// read-only file system either).
bool CanWriteIn(const QString& folder);

Places For(const QString& programFolder, const QStringList& installFolders = InstallFolders());

// A leading "~", alone or before a "/", is the home folder, as in a shell.
QString ExpandHome(const QString& folder);

// The output folder as typed in the window, as the tool gets it: "~" is the home folder, and a relative
// folder is taken against the home folder, never against whatever folder the program was started from.
// Empty stays empty.
QString TypedOutputFolder(const QString& typed);

} // namespace ProgramPlace
