#include "frmMenu.h"

#include "app/MainCommands.h"
#include "skin/StyleSheets.h"

#include <QLineEdit>
#include <QMenu>

frmMenu::frmMenu(QLineEdit* txtAction, MainCommands* commands) : m_txtAction(txtAction)
{
    setObjectName(QStringLiteral("frmMenu"));
    setStyleSheet(StyleSheets::PopupMenu());
    menuFile = new QMenu(QStringLiteral("File"), this);
    menuOptions = new QMenu(QStringLiteral("Options"), this);
    menuAbout = new QMenu(QStringLiteral("About"), this);
    menuRemove = new QMenu(QStringLiteral("Remove"), this);

    menuAddaFile = item(menuFile, QStringLiteral("Add a File(&A)"), QStringLiteral("AddaFile"));
    menuAddaFolder = item(menuFile, QStringLiteral("Add a Folder(&F)"), QStringLiteral("menuAddaFolder"));
    menuS = menuFile->addSeparator();
    menuExit = item(menuFile, QStringLiteral("Exit(&E)"), QStringLiteral("menuExit"));
    menuOption = item(menuOptions, QStringLiteral("Options(&O)"), QStringLiteral("menuOption"));
    menuHelp = item(menuAbout, QStringLiteral("Help(&H)"), QStringLiteral("menuHelp"));
    menuA = item(menuAbout, QStringLiteral("About(&A)"), QStringLiteral("A"));
    menuRemoveSelected = item(menuRemove, QStringLiteral("Remove Selected"), QStringLiteral("RemoveSelected"));
    // Remove All writes no word: it empties the list itself.
    menuRemoveAll = menuRemove->addAction(QStringLiteral("Remove All"));
    // The menus show the main window's keys; the window's own actions answer them.
    const std::pair<QAction*, MainCommands::Command> items[] = {{menuAddaFile, MainCommands::AddFiles},
                                                                {menuAddaFolder, MainCommands::AddFolder},
                                                                {menuExit, MainCommands::Exit},
                                                                {menuOption, MainCommands::Options},
                                                                {menuHelp, MainCommands::Help},
                                                                {menuA, MainCommands::About},
                                                                {menuRemoveSelected, MainCommands::RemoveSelected},
                                                                {menuRemoveAll, MainCommands::RemoveAll}};
    for (const auto& [item, command] : items) {
        item->setShortcut(MainCommands::keys(command));
        item->setShortcutContext(Qt::WidgetShortcut);
        item->setShortcutVisibleInContextMenu(true);
        QAction* runs = commands->action(command);
        item->setEnabled(runs->isEnabled());
        connect(runs, &QAction::enabledChanged, item, &QAction::setEnabled);
    }
    connect(menuRemoveAll, &QAction::triggered, commands->action(MainCommands::RemoveAll), &QAction::trigger);
}

QAction* frmMenu::item(QMenu* menu, const QString& caption, const QString& word)
{
    QAction* action = menu->addAction(caption);
    connect(action, &QAction::triggered, this, [this, word] { m_txtAction->setText(word); });
    return action;
}
