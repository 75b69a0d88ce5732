#include "COMDLG.h"

#include "ui/DialogSeam.h"

#include <QDir>

namespace COMDLG {

QStringList QtFilters(const QString& filter)
{
    QStringList out;
    const QStringList pieces = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < pieces.size(); i += 2) {
        QString pattern = pieces[i + 1];
        pattern.replace(QStringLiteral("*.*"), QStringLiteral("*"));
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        out.append(pieces[i] + QStringLiteral(" (") + pattern + QLatin1Char(')'));
    }
    return out;
}

QString NormalisedFolder(const QString& initialFolder, const QString& programFolder)
{
    if (initialFolder.trimmed().isEmpty())
        return programFolder;
    QString folder = initialFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const QDir dir(folder);
    if (!dir.exists() || dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty())
        return programFolder;
    return folder;
}

QString ShowOpenFile(QWidget* owner, const QString& title, QString& initialFolder, const QString& programFolder,
                     const QString& filter)
{
    initialFolder = NormalisedFolder(initialFolder, programFolder);
    DialogSeam::FileRequest request;
    request.title = title;
    request.folder = initialFolder;
    request.filters = QtFilters(filter);
    const auto chosen = DialogSeam::file(owner, request);
    return chosen.value_or(QString());
}

} // namespace COMDLG
