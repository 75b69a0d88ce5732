#include "CCommonDialogs.h"

#include "COMDLG.h"
#include "filelist/GetFile.h"
#include "ui/DialogSeam.h"
#include "ui/FolderDialog.h"

#include <QColor>
#include <QDir>
#include <QFont>

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

bool CCommonDialogs::ShowSave()
{
    // The folder is settled before the dialog shows, and kept even when the user cancels.
    m_path = COMDLG::NormalisedFolder(Path(), m_programFolder.isEmpty() ? QDir::currentPath() : m_programFolder);
    DialogSeam::FileRequest request;
    request.title = QStringLiteral("Save");
    request.folder = m_path;
    if (!m_filter.trimmed().isEmpty())
        request.filters = COMDLG::QtFilters(m_filter);
    request.save = true;
    const auto chosen = DialogSeam::file(m_owner, request);
    if (!chosen || chosen->isEmpty())
        return false;
    takeChosenFile(*chosen);
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

bool CCommonDialogs::ShowColor(bool fullOpen)
{
    const QColor initial(int(m_color & 0xff), int((m_color >> 8) & 0xff), int((m_color >> 16) & 0xff));
    const auto chosen = DialogSeam::color(m_owner, initial, fullOpen);
    if (!chosen)
        return false;
    m_color = quint32(chosen->red()) | (quint32(chosen->green()) << 8) | (quint32(chosen->blue()) << 16);
    return true;
}

bool CCommonDialogs::ShowFont()
{
    QFont initial(m_fontName);
    if (m_fontSize > 0)
        initial.setPointSize(m_fontSize);
    initial.setBold(m_fontBold);
    initial.setItalic(m_fontItalic);
    initial.setUnderline(m_fontUnderline);
    const auto chosen = DialogSeam::font(m_owner, initial);
    if (!chosen)
        return false;
    m_fontName = chosen->family();
    m_fontBold = chosen->bold();
    m_fontItalic = chosen->italic();
    m_fontSize = qint16(qRound(chosen->pointSizeF()));
    return true;
}

bool CCommonDialogs::ShowPrinter()
{
    return DialogSeam::print(m_owner);
}

bool CCommonDialogs::ShowPrinterProperties()
{
    return DialogSeam::printerProperties(m_owner);
}
