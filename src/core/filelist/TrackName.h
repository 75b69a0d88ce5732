#pragma once

#include "CueSheet.h"

#include <QString>

// How the outputs of an album image's tracks are named: "03 Title" (two digits at least), or
// "03 Track 03" for a track the sheet leaves untitled, in a folder named after the image's stem
// ("Album.flac" -> "Album/03 Title.mp3").
namespace TrackName {

// The stem of a track's output: a title that holds "/" or control characters, or is too long for a
// file name with its extension and the tool's part-file prefix, is made safe; the file system's own
// refusals (a FAT stick's ":" or "?") are mapped as for every other output.
QString Stem(const CueTrack& track);

// The folder that holds an image's tracks.
QString Folder(const QString& imagePath);

} // namespace TrackName
