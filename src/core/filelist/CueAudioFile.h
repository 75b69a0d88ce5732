#pragma once

#include <QString>

namespace CueAudioFile {

// The file a cue sheet's FILE line names: as written beside the sheet, else its base name there (a
// ripping machine's "C:\Rips\Album.wav"), else an image of the same stem in another format
// ("CDImage.wav" for "CDImage.flac"). Empty when none is there.
QString Find(const QString& folder, const QString& written);

} // namespace CueAudioFile
