#pragma once

#include "OptionSettings.h"

#include <QByteArray>
#include <QString>

// "options.ini" in the settings folder (ProgramPlace): lines of decimal integers (sound reminder, music cutter, cut
// start, cut length, files at once, output files, if a file is already there, loudness), each ended by CR LF. A
// file that ends early, as older versions wrote it, reads the missing settings as their defaults.
namespace OptionsIni {

QString FilePath(const QString& settingsFolder);

// Without the file the reminder is on and the cutter off. A value that is missing, not a number, or out
// of its type's range (16-bit switches, 32-bit cut) leaves that setting as it was, so start-up always
// goes on.
void LoadOptions(const QString& settingsFolder, OptionSettings& options);

// The same, from the file's bytes.
void ParseOptions(const QByteArray& bytes, OptionSettings& options);

// Writes the whole file; false when it cannot be written, after one message that names the file and the
// reason (the settings stay as they are).
bool SaveOptions(const QString& settingsFolder, const OptionSettings& options);

} // namespace OptionsIni
