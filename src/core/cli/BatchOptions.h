#pragma once

#include "convert/CommandBuilder.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// The command line of a conversion from a terminal: "--convert" (or "-c") first, then options and the
// files and folders to convert. Every option starts from the settings the window saved, and takes only
// the values the window offers.
namespace BatchOptions {

// The word that asks for this mode, when it is the first argument, or a first --help or --version (they
// answer on the terminal, with no display needed). Anything else starts the window, whose arguments are
// all paths ("-x.flac" is a file there).
bool Requested(const QList<QByteArray>& arguments);

// The program's arguments as given, program name first, each as its bytes.
QList<QByteArray> FromArgv(int argc, char** argv);

// The conversion settings the window would start with: setup.ini and options.ini from where the
// program keeps them (read only), or the window's defaults.
CommandBuilder::Request SavedSettings(const QString& programFolder);

struct Parsed
{
    enum class Action { Convert, Help, Version, UsageError };
    Action action = Action::UsageError;
    QString message; // what is wrong, for a usage error
    CommandBuilder::Request request;
    QStringList paths; // the files and folders named, made absolute, in their order
    bool quiet = false;
    bool verbose = false; // name every folder that could not be searched
};

// arguments: the program's, program name first and "--convert" after it. Relative paths, the output
// folder's included, are taken against currentFolder.
Parsed Parse(const QList<QByteArray>& arguments, const CommandBuilder::Request& defaults, const QString& currentFolder);

// The text of --help.
QString HelpText();

} // namespace BatchOptions
