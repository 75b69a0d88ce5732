#pragma once

#include "convert/CommandBuilder.h"

#include <QString>
#include <QStringList>

// What the batch benchmarks share: a set of short input files, and the setup they convert with.
namespace BenchBatch {

// files copies of one 440 Hz tone of this length, 16-bit stereo WAV at 44.1 kHz, named f0000.wav, ...
// in folder (made by FFmpeg's program once, then copied).
QStringList ToneSet(const QString& folder, int files, double seconds);

// MP3 at 192 kbps, 44.1 kHz, stereo, into out, with the tool of programFolder.
CommandBuilder::Request Mp3Setup(const QString& programFolder, const QString& out);

} // namespace BenchBatch
