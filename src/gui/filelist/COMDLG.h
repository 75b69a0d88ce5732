#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Open-file dialog from arguments, for callers that keep no dialog object.
namespace COMDLG {

// "Description|pattern|Description|pattern" as Qt filter texts. "*.*" means every file here, dot or not.
QStringList QtFilters(const QString& filter);

// The folder a dialog opens in: the program folder when initialFolder is blank, or when listing it
// (hidden entries included) finds nothing; otherwise initialFolder with a trailing "/".
QString NormalisedFolder(const QString& initialFolder, const QString& programFolder);

// Shows the dialog and returns the chosen path, "" after a cancel. initialFolder receives the folder used.
// The dialog never moves the process's current folder.
QString ShowOpenFile(QWidget* owner, const QString& title, QString& initialFolder, const QString& programFolder,
                     const QString& filter = QString());

} // namespace COMDLG
