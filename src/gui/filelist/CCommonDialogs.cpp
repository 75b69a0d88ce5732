#include "CCommonDialogs.h"

#include "COMDLG.h"
#include "filelist/GetFile.h"
#include "ui/DialogSeam.h"
#include "ui/FolderDialog.h"

#include <QDir>

QString CCommonDialogs::cutAtNul(const QString& s)
{
    const qsizetype nul = s.indexOf(QChar(0));
    return nul < 0 ? s : s.left(nul);
}

void CCommonDialogs::takeChosenFile(const QString& path)
{
    m_fileName = path;
    m_fileTitle = GetFile::ParseFileName(path);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    m_path = slash <= 0 ? path.left(slash + 1) : path.left(slash);
}

bool CCommonDialogs::ShowOpen()
{
    DialogSeam::FileRequest request;
    request.title = Title();
    request.folder = m_lastFolder.isEmpty() ? QDir::currentPath() : m_lastFolder;
    request.fileName = FileName();
    request.filters = COMDLG::QtFilters(m_filter);
    request.defaultSuffix = m_defExt;
    const auto chosen = DialogSeam::file(m_owner, request);
    if (!chosen || chosen->isEmpty())
        return false;
    takeChosenFile(*chosen);
    m_lastFolder = m_path;
    return true;
}

bool CCommonDialogs::ShowFolder()
{
    const auto folder = FolderDialog::choose(m_owner, Title());
    if (!folder || folder->isEmpty())
        return false;
    m_path = *folder;
    m_fileName.clear();
    m_fileTitle.clear();
    return true;
}
