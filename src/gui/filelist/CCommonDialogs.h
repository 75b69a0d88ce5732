#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

// A property bag in front of the common dialogs: set the properties, call a Show operation, read the
// properties back. Every Show returns true when the user confirmed and leaves the properties alone
// otherwise. The main window keeps one for the add-files command.
class CCommonDialogs
{
public:
    void Init(QWidget* owner) { m_owner = owner; }

    // Text readers stop at the first NUL, as the dialogs' buffers did.
    QString FileTitle() const { return cutAtNul(m_fileTitle); }
    void setFileTitle(const QString& v) { m_fileTitle = v; }
    QString Path() const { return cutAtNul(m_path); }
    void setPath(const QString& v) { m_path = v; }
    QString Filter() const { return m_filter; }
    void setFilter(const QString& v) { m_filter = v; }
    QString FileName() const { return cutAtNul(m_fileName); }
    void setFileName(const QString& v) { m_fileName = v; }
    quint32 Color() const { return m_color; } // 0x00BBGGRR
    void setColor(quint32 v) { m_color = v; }
    QString Title() const { return cutAtNul(m_title); }
    void setTitle(const QString& v) { m_title = v; }
    QString DefExt() const { return m_defExt; }
    void setDefExt(const QString& v) { m_defExt = v; }
    QString FontName() const { return m_fontName; }
    void setFontName(const QString& v) { m_fontName = v; }
    qint16 FontSize() const { return m_fontSize; }
    void setFontSize(qint16 v) { m_fontSize = v; }
    bool FontBold() const { return m_fontBold; }
    void setFontBold(bool v) { m_fontBold = v; }
    bool FontItalic() const { return m_fontItalic; }
    void setFontItalic(bool v) { m_fontItalic = v; }
    bool FontUnderline() const { return m_fontUnderline; }
    void setFontUnderline(bool v) { m_fontUnderline = v; }

    // Open one existing file. The dialog opens in the folder of the last choice made here, with that
    // choice in the name box (the process's current folder is never moved).
    bool ShowOpen();
    bool ShowSave();
    bool ShowFolder();
    bool ShowColor(bool fullOpen);
    bool ShowFont();
    bool ShowPrinter();
    bool ShowPrinterProperties();

    // Where the program keeps its files; the save dialog opens there when Path is blank or empty.
    void setProgramFolder(const QString& folder) { m_programFolder = folder; }

private:
    static QString cutAtNul(const QString& s);
    void takeChosenFile(const QString& path);

    QString m_fileTitle;
    QString m_path;
    QString m_filter;
    QString m_fileName;
    quint32 m_color = 0;
    QString m_title;
    QPointer<QWidget> m_owner;
    QString m_defExt;
    QString m_fontName;
    qint16 m_fontSize = 0;
    bool m_fontBold = false;
    bool m_fontItalic = false;
    bool m_fontUnderline = false;

    QString m_lastFolder; // stands in for the current folder the open dialog used to move
    QString m_programFolder;
};
