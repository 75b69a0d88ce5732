#pragma once

#include <QWidget>

class MainCommands;
class QAction;
class QLineEdit;
class QMenu;

// Holds the popup menus and is never shown. An item does not call the main window: it writes its
// command word into the main window's hidden command box, whose change runs the command. Each item shows
// its command's keys and can be chosen exactly when its command can run.
class frmMenu : public QWidget
{
    Q_OBJECT
public:
    frmMenu(QLineEdit* txtAction, MainCommands* commands);

    QMenu* menuFile = nullptr;
    QMenu* menuOptions = nullptr;
    QMenu* menuAbout = nullptr;
    QMenu* menuRemove = nullptr;

    QAction* menuAddaFile = nullptr;
    QAction* menuAddaFolder = nullptr;
    QAction* menuS = nullptr;
    QAction* menuExit = nullptr;
    QAction* menuOption = nullptr;
    QAction* menuHelp = nullptr;
    QAction* menuA = nullptr;
    QAction* menuRemoveSelected = nullptr;
    QAction* menuRemoveAll = nullptr;

private:
    QAction* item(QMenu* menu, const QString& caption, const QString& word);

    QLineEdit* m_txtAction;
};
