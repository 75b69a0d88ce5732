#pragma once

#include "CueSheet.h"

#include <QByteArray>
#include <QString>
#include <optional>

// What a FLAC file says of itself, read with libFLAC: its length, and the cue sheet it carries. FFmpeg
// sees FLAC's CUESHEET block only as untitled chapters that start at each track's INDEX 00 (the pregap),
// so the block's index points are read here, where the tracks can start at INDEX 01.
namespace FlacImage {

// The rate and samples per channel from STREAMINFO; nothing for a file that is not FLAC or does not say.
std::optional<AudioLength> Length(const QString& path);

// The whole text of a CUESHEET tag (Vorbis comment); empty when there is none.
QByteArray CueSheetTag(const QString& path);

// The file's tracks from its CUESHEET block, else from its CUESHEET tag; nothing when it carries
// neither. Tracks of the block take their titles from the tag when both name the same tracks, and are
// untitled otherwise.
std::optional<CueSheet> EmbeddedSheet(const QString& path);

} // namespace FlacImage
