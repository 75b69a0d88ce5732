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
    QString Title() const { return cutAtNul(m_title); }
    void setTitle(const QString& v) { m_title = v; }
    QString DefExt() const { return m_defExt; }
    void setDefExt(const QString& v) { m_defExt = v; }

    // Open one existing file. The dialog opens in the folder of the last choice made here, with that
    // choice in the name box (the process's current folder is never moved).
    bool ShowOpen();
    bool ShowFolder();

private:
    static QString cutAtNul(const QString& s);
    void takeChosenFile(const QString& path);

    QString m_fileTitle;
    QString m_path;
    QString m_filter;
    QString m_fileName;
    QString m_title;
    QPointer<QWidget> m_owner;
    QString m_defExt;

    QString m_lastFolder; // stands in for the current folder the open dialog used to move
};
