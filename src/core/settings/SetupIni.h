#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// "setup.ini" in the settings folder (ProgramPlace): the main window's output settings as five quoted lines (bitrate
// index, sample-rate index, channel index, output folder, format index), each ended by CR LF.
namespace SetupIni {

struct Values
{
    int bitrateIndex = 8;
    int rateIndex = 1;
    int channelIndex = 1;
    QString outputFolder;
    int formatIndex = 1;
};

// What the file holds, field by field; a field that is missing or does not read as a 16-bit integer
// is nothing, so the caller keeps its default for it alone. So is an output folder that is not, once a
// leading "~" is the home folder, an absolute path of printable characters.
struct Read
{
    std::optional<int> bitrateIndex;
    std::optional<int> rateIndex;
    std::optional<int> channelIndex;
    std::optional<QString> outputFolder;
    std::optional<int> formatIndex;
};

QString FilePath(const QString& settingsFolder);
bool Exists(const QString& settingsFolder);
Read Load(const QString& settingsFolder);
Read Parse(const QByteArray& bytes);
// False when the file cannot be written, after one message that names the file and the reason; nothing
// else is affected.
bool Save(const QString& settingsFolder, const Values& values);

} // namespace SetupIni
