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

} // namespace OutputFolder
