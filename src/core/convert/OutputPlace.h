#pragma once

#include "settings/OptionSettings.h"

#include <QString>

// The folder an output goes into, by the "Output files" setting.
namespace OutputPlace {

// Keep the folders: a file found in an added folder goes below a copy of that folder's own name and
// its path beneath it, as a file manager copies a folder ("/music/The Killers" added, output folder
// "/stick": "/stick/The Killers/Hot Fuss/"); a file added on its own goes straight into the output
// folder. All in one folder: the output folder. Beside each original: the input's own folder. Always
// ends with "/". root is the added folder the input was found in, or "".
QString FolderFor(OutputLayout mode, const QString& outputFolder, const QString& input, const QString& root);

} // namespace OutputPlace
