#pragma once

#include <QString>

// Path splitting used to name output files.
namespace GetFile {

// The characters after the last "/"; the whole path when it holds none; "" for "".
QString ParseFileName(const QString& path);

// ParseFileName cut before its first "."; the whole name when it holds none; "" for "" and for a name
// that begins with ".".
QString ParseBaseName(const QString& path);

} // namespace GetFile
