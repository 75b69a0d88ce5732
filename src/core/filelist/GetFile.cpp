#include "GetFile.h"

namespace GetFile {

namespace {
// Where the last extension's dot is in a file name, or -1. A dot at position 0 begins a hidden name.
qsizetype extensionDot(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? dot : -1;
}
} // namespace

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

QString ParseStem(const QString& path)
{
    const QString name = ParseFileName(path);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? name : name.left(dot);
}

QString ParseExtension(const QString& path)
{
    const QString name = ParseFileName(path);
    const qsizetype dot = extensionDot(name);
    return dot < 0 ? QString() : name.mid(dot + 1);
}

} // namespace GetFile
