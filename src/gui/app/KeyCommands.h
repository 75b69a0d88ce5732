#pragma once

#include <QKeySequence>
#include <QObject>
#include <QString>

class QAction;
class QWidget;

// The main window's keys: one action per command, each with an explicit key sequence (the platform's
// standard Quit and Preferences sequences are empty on some platforms). The list's own keys act only
// while the list has the focus, so Delete and Shift+Delete keep their editing meaning in the folder box.
// A lone Alt press and release opens the File menu, as a menu bar's Alt does.
class KeyCommands : public QObject
{
    Q_OBJECT
public:
    enum Command {
        AddFiles,
        AddFolder,
        RemoveSelected,
        RemoveAll,
        Options,
        Help,
        Exit,
        Convert,
        Stop,
        FileMenu,
        OptionsMenu,
        AboutMenu,
        CommandCount
    };

    KeyCommands(QWidget* window, QWidget* list);

    static QKeySequence keys(Command command);
    // "Caption (Ctrl+O)": how a tooltip names a command with its keys.
    static QString withKeys(const QString& caption, Command command);

    QAction* action(Command command) const { return m_actions[command]; }

    // The keys of a command the buttons do not offer at the moment do nothing. stops: the start button is
    // the Stop button (a list converts or a folder is searched).
    void update(bool converting, bool listBusy, bool stops);

signals:
    void triggered(KeyCommands::Command command);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* m_window;
    QAction* m_actions[CommandCount] = {};
    bool m_altAlone = false;
};
