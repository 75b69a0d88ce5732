#pragma once

#include <QByteArray>
#include <QString>

// Writes one settings file whole or not at all. A file that cannot be saved (a folder in its place, a
// folder the user may not write, a full disk) is reported once, by a message naming the file and the
// system's reason; the settings in use stay as they are.
namespace SettingsFile {

// Makes the file's folder with every missing level, then replaces the file. False after the message.
bool Write(const QString& path, const QByteArray& bytes);

} // namespace SettingsFile
