#include "SetupIni.h"

#include "FieldReader.h"
#include "NumberRules.h"

#include <QFile>
#include <QSaveFile>

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
} // namespace

QString FilePath(const QString& programFolder)
{
    return programFolder + QStringLiteral("/setup.ini");
}

bool Exists(const QString& programFolder)
{
    return QFile::exists(FilePath(programFolder));
}

Read Load(const QString& programFolder)
{
    QFile file(FilePath(programFolder));
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
    r.outputFolder = reader.next();
    r.formatIndex = index(reader.next());
    return r;
}

bool Save(const QString& programFolder, const Values& values)
{
    QSaveFile file(FilePath(programFolder));
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(quoted(QString::number(values.bitrateIndex)));
    file.write(quoted(QString::number(values.rateIndex)));
    file.write(quoted(QString::number(values.channelIndex)));
    file.write(quoted(values.outputFolder));
    file.write(quoted(QString::number(values.formatIndex)));
    return file.commit();
}

} // namespace SetupIni
