#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// Open-file dialog from arguments, for callers that keep no dialog object.
namespace COMDLG {

constexpr quint32 OFN_HIDEREADONLY = 0x4;
constexpr quint32 OFN_NOCHANGEDIR = 0x8;
constexpr quint32 OFN_FILEMUSTEXIST = 0x1000;
constexpr quint32 OFN_LONGNAMES = 0x200000;

// "Description|pattern|Description|pattern" as Qt filter texts. "*.*" means every file here, dot or not.
QStringList QtFilters(const QString& filter);

// The folder a dialog opens in: the program folder when initialFolder is blank, or when listing it
// (hidden entries included) finds nothing; otherwise initialFolder with a trailing "/".
QString NormalisedFolder(const QString& initialFolder, const QString& programFolder);

// Shows the dialog and returns the chosen path, "" after a cancel. initialFolder receives the folder used.
QString ShowOpenFile(QWidget* owner, const QString& title, QString& initialFolder, const QString& programFolder,
                     const QString& filter = QString(), quint32 flags = 0);

} // namespace COMDLG
