#pragma once

#include <QString>
#include <QWidget>

class DOSOutputs;

// The main window.
class frmMain : public QWidget
{
    Q_OBJECT
public:
    explicit frmMain(const QString& programFolder, QWidget* parent = nullptr);
    ~frmMain() override;

    QString programFolder() const { return m_programFolder; }
    DOSOutputs* objDOS() const { return m_objDOS; }

private:
    QString m_programFolder;
    DOSOutputs* m_objDOS = nullptr;
};
