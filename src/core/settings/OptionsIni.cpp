#include "OptionsIni.h"

#include "FieldReader.h"
#include "NumberRules.h"
#include "SettingsFile.h"

#include <QFile>

namespace OptionsIni {

namespace {
// The file is small; anything bigger is not ours, and reading it whole would only cost memory.
constexpr qint64 kMaxSize = 64 * 1024;

std::optional<qint64> field(FieldReader& reader, qint64 lo, qint64 hi)
{
    const auto text = reader.next();
    if (!text)
        return std::nullopt;
    const auto value = NumberRules::RoundHalfEven(NumberRules::LeadingNumber(*text), lo, hi);
    return value;
}
} // namespace

QString FilePath(const QString& programFolder)
{
    return programFolder + QStringLiteral("/options.ini");
}

void LoadOptions(const QString& programFolder, OptionSettings& options)
{
    QFile file(FilePath(programFolder));
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
    FieldReader reader(QString::fromUtf8(bytes));
    // Each field is read even when an earlier one failed, so later lines keep their place.
    // Every value the settings can hold reads back: the switches are 16-bit, the cut 32-bit, negative
    // numbers included, since the Options window lets them through.
    const auto sound = field(reader, -32768, 32767);
    const auto cutter = field(reader, -32768, 32767);
    const auto from = field(reader, -2147483648LL, 2147483647LL);
    const auto duration = field(reader, -2147483648LL, 2147483647LL);
    // Files at once: anything but 0 to 8 (a missing line included) is Auto.
    const auto filesAtOnce = field(reader, 0, 8);
    // Where outputs go and what an output already there means: older files end before these lines,
    // and a value out of range is the default.
    const auto outputFiles = field(reader, 0, 2);
    const auto ifExists = field(reader, 0, 1);
    if (sound)
        options.SoundReminder = qint16(*sound);
    if (cutter)
        options.MusicCutter = qint16(*cutter);
    if (from)
        options.CutFrom = qint32(*from);
    if (duration)
        options.CutDuration = qint32(*duration);
    options.FilesAtOnce = filesAtOnce ? qint32(*filesAtOnce) : 0;
    options.OutputFiles = outputFiles ? qint32(*outputFiles) : 0;
    options.IfExists = ifExists ? qint32(*ifExists) : 0;
}

bool SaveOptions(const QString& programFolder, const OptionSettings& options)
{
    QByteArray bytes;
    for (qint64 v : {qint64(options.SoundReminder), qint64(options.MusicCutter), qint64(options.CutFrom),
                     qint64(options.CutDuration), qint64(options.FilesAtOnce), qint64(options.OutputFiles),
                     qint64(options.IfExists)})
        bytes += QByteArray::number(v) + "\r\n";
    return SettingsFile::Write(FilePath(programFolder), bytes);
}

} // namespace OptionsIni
