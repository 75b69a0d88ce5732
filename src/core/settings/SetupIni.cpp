#include "SetupIni.h"

#include "FieldReader.h"
#include "NumberRules.h"
#include "ProgramPlace.h"
#include "SettingsFile.h"

#include <QFile>

namespace SetupIni {

namespace {
constexpr qint64 kMaxSize = 64 * 1024;

std::optional<int> index(const std::optional<QString>& text)
{
    if (!text)
        return std::nullopt;
    const auto number = NumberRules::WholeNumber(*text);
    if (!number)
        return std::nullopt;
    const auto v = NumberRules::ToInt16(*number);
    if (!v)
        return std::nullopt;
    return int(*v);
}

QByteArray quoted(const QString& s)
{
    return '"' + s.toUtf8() + "\"\r\n";
}

// A folder the file names is used only as an absolute path of printable characters: anything else is
// damage (or bytes that were never text) and would become a folder nobody asked for.
std::optional<QString> folder(const std::optional<QString>& text)
{
    if (!text || text->isEmpty())
        return text;
    const QString path = ProgramPlace::ExpandHome(*text);
    if (!path.startsWith(QLatin1Char('/')))
        return std::nullopt;
    for (const QChar c : path) {
        if (!c.isPrint() || c == QChar::ReplacementCharacter)
            return std::nullopt;
    }
    return path;
}
} // namespace

QString FilePath(const QString& settingsFolder)
{
    return settingsFolder + QStringLiteral("/setup.ini");
}

bool Exists(const QString& settingsFolder)
{
    return QFile::exists(FilePath(settingsFolder));
}

Read Load(const QString& settingsFolder)
{
    QFile file(FilePath(settingsFolder));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return Parse(file.read(kMaxSize));
}

Read Parse(const QByteArray& bytes)
{
    Read r;
    FieldReader reader(QString::fromUtf8(bytes));
    r.bitrateIndex = index(reader.next());
    r.rateIndex = index(reader.next());
    r.channelIndex = index(reader.next());
    r.outputFolder = folder(reader.next());
    r.formatIndex = index(reader.next());
    return r;
}

bool Save(const QString& settingsFolder, const Values& values)
{
    return SettingsFile::Write(FilePath(settingsFolder), quoted(QString::number(values.bitrateIndex)) +
                                                             quoted(QString::number(values.rateIndex)) +
                                                             quoted(QString::number(values.channelIndex)) +
                                                             quoted(values.outputFolder) +
                                                             quoted(QString::number(values.formatIndex)));
}

} // namespace SetupIni
