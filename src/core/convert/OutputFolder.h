#pragma once

#include <QString>

// Makes the output folder, every missing level of it, and checks that files can be written there, so a
// batch that cannot write stops before any file starts with the real reason instead of one "No such
// file or directory" per file.
namespace OutputFolder {

// Empty when the folder is there and writable, else the system's reason ("Read-only file system",
// "Not a directory", "Permission denied").
QString Prepare(const QString& folder);

} // namespace OutputFolder
