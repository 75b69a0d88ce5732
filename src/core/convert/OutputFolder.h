#pragma once

#include <QByteArray>

#include <QString>

// Makes the output folder, every missing level of it, and checks that files can be written there, so a
// batch that cannot write stops before any file starts with the real reason instead of one "No such
// file or directory" per file.
namespace OutputFolder {

// Empty when the folder is there and writable, else the system's reason ("Read-only file system",
// "Not a directory", "Permission denied").
// One level: 0 when path is a folder (links followed) or was made as one, else the errno reason.
int MakeLevel(const QByteArray& path);

QString Prepare(const QString& folder);

// Whether an output folder that was prepared can still take files: empty when it can, else a reason
// that names it ("The output folder /media/stick/Music is gone: No such file or directory", "... cannot
// be written: Read-only file system"). Makes nothing: a folder removed while a batch runs (a stick
// pulled, a folder deleted) must not come back as an empty folder where the stick was mounted.
QString Check(const QString& folder);

} // namespace OutputFolder
