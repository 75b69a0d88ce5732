#include "GetFile.h"

namespace GetFile {

QString ParseFileName(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

QString ParseBaseName(const QString& path)
{
    const QString name = ParseFileName(path);
    const qsizetype dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

} // namespace GetFile
