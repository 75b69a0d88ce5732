#pragma once

#include "CueSheet.h"

#include <QString>
#include <optional>

class FileBytes;

// The rate and length of an album image, read from its header without decoding: FLAC's STREAMINFO, a
// WAV file's format and data chunks, WavPack's first block and Monkey's Audio's header, the images
// rippers write most; the rate alone of an MP3 (two frames in a row) and of Ogg Vorbis, Opus and FLAC
// (the first packet), whose length only a decoder tells. Nothing for any other format, nor for a header
// that does not say, or says nothing sound (no samples, no rate).
namespace ImageLength {

std::optional<AudioLength> Read(const QString& path);

// A WAV, WavPack, Monkey's Audio, Ogg or MPEG audio header at the start of the file, or after the
// ID3v2 tags some taggers put before any format.
std::optional<AudioLength> FromHeader(const FileBytes& file);

} // namespace ImageLength
