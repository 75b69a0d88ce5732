#pragma once

#include "CueSheet.h"

#include <QString>
#include <optional>

// The rate and length of an album image, read from its header without decoding: FLAC's STREAMINFO
// and a WAV file's format and data chunks, the images rippers write most. Nothing for any other
// format, whose length only the conversion tool can tell.
namespace ImageLength {

std::optional<AudioLength> Read(const QString& path);

} // namespace ImageLength
