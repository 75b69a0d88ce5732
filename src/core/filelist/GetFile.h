#pragma once

#include <QString>

// Path splitting used to name output files and to show a file's type.
namespace GetFile {

// The characters after the last "/"; the whole path when it holds none; "" for "".
QString ParseFileName(const QString& path);

// ParseFileName cut before its first "."; the whole name when it holds none; "" for "" and for a name
// that begins with ".".
QString ParseBaseName(const QString& path);

// ParseFileName without its last extension: "02. Mr. Brightside.flac" gives "02. Mr. Brightside",
// "live.set.wav" gives "live.set". A dot that begins the name starts no extension, so ".hidden" stays
// ".hidden" and ".hidden.ogg" gives ".hidden". Output files are named after this, so two tracks whose
// names differ only after their first dot never share an output.
QString ParseStem(const QString& path);

// The last extension of ParseFileName without its dot ("flac", "ra"); "" for a name without one,
// ".hidden" included.
QString ParseExtension(const QString& path);

} // namespace GetFile
