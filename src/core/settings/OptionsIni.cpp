#include "OptionsIni.h"

#include "SettingsFile.h"
#include "SettingsLines.h"

#include <QFile>

namespace OptionsIni {

namespace {
// The file is small; anything bigger is not ours, and reading it whole would only cost memory.
constexpr qint64 kMaxSize = 64 * 1024;

using Line = SettingsLine<OptionSettings>;
using Unreadable = Line::Unreadable;

// The file's lines in their order; a new setting takes a new line at the end. Every value the first
// four can hold reads back (16-bit switches, 32-bit cut, negative numbers included, since the Options
// window lets them through), and a line that cannot be read leaves them as they were. The later lines
// came with later versions: older files end before them, and a value out of range is the default.
const QList<Line>& lines()
{
    static const QList<Line> table = {
        Line::Number(
            -32768, 32767, Unreadable::KeepsValue, 0, [](const OptionSettings& o) { return o.SoundReminder; },
            [](OptionSettings& o, qint64 v) { o.SoundReminder = qint16(v); }),
        Line::Number(
            -32768, 32767, Unreadable::KeepsValue, 0, [](const OptionSettings& o) { return o.MusicCutter; },
            [](OptionSettings& o, qint64 v) { o.MusicCutter = qint16(v); }),
        Line::Number(
            -2147483648LL, 2147483647LL, Unreadable::KeepsValue, 0, [](const OptionSettings& o) { return o.CutFrom; },
            [](OptionSettings& o, qint64 v) { o.CutFrom = qint32(v); }),
        Line::Number(
            -2147483648LL, 2147483647LL, Unreadable::KeepsValue, 0,
            [](const OptionSettings& o) { return o.CutDuration; },
            [](OptionSettings& o, qint64 v) { o.CutDuration = qint32(v); }),
        // Files at once: anything but 0 to 8 is Auto.
        Line::Number(
            0, 8, Unreadable::MeansDefault, 0, [](const OptionSettings& o) { return o.FilesAtOnce; },
            [](OptionSettings& o, qint64 v) { o.FilesAtOnce = qint32(v); }),
        Line::Number(
            0, 2, Unreadable::MeansDefault, 0, [](const OptionSettings& o) { return qint64(o.OutputFiles); },
            [](OptionSettings& o, qint64 v) { o.OutputFiles = OutputLayout(v); }),
        Line::Number(
            0, 1, Unreadable::MeansDefault, 0, [](const OptionSettings& o) { return qint64(o.IfExists); },
            [](OptionSettings& o, qint64 v) { o.IfExists = ExistingOutput(v); }),
        // Loudness: an older file ends before it, and reads as Off.
        Line::Number(
            0, 3, Unreadable::MeansDefault, 0, [](const OptionSettings& o) { return o.Loudness; },
            [](OptionSettings& o, qint64 v) { o.Loudness = qint32(v); }),
        Line::Number(
            0, 3, Unreadable::MeansDefault, 0, [](const OptionSettings& o) { return o.OutputNames; },
            [](OptionSettings& o, qint64 v) { o.OutputNames = qint32(v); }),
        Line::Number(
            0, 1, Unreadable::MeansDefault, 0, [](const OptionSettings& o) { return o.KeepDate; },
            [](OptionSettings& o, qint64 v) { o.KeepDate = qint32(v); }),
        Line::Text(
            QString(), [](const OptionSettings& o) { return o.NamePattern; },
            [](OptionSettings& o, const QString& v) { o.NamePattern = v; }),
    };
    return table;
}
} // namespace

QString FilePath(const QString& settingsFolder)
{
    return settingsFolder + QStringLiteral("/options.ini");
}

void LoadOptions(const QString& settingsFolder, OptionSettings& options)
{
    QFile file(FilePath(settingsFolder));
    if (!file.exists()) {
        options.SoundReminder = 0;
        options.MusicCutter = 0;
        return;
    }
    if (!file.open(QIODevice::ReadOnly))
        return;
    ParseOptions(file.read(kMaxSize), options);
}

void ParseOptions(const QByteArray& bytes, OptionSettings& options)
{
    SettingsLines::Read(lines(), bytes, options);
}

bool SaveOptions(const QString& settingsFolder, const OptionSettings& options)
{
    return SettingsFile::Write(FilePath(settingsFolder), SettingsLines::Write(lines(), options));
}

} // namespace OptionsIni
