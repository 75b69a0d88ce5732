#pragma once

#include <QKeySequence>
#include <QList>
#include <QObject>
#include <optional>

class HotArea;
class QAction;
class QWidget;

// The main window's commands, one QAction each (object names "actionAddFiles", "actionConvert", ...):
// a painted button, a popup menu's command word and a key all trigger the command's action, and the
// window runs every command in one place (triggered). What may run now is one pass over the actions
// (update); the painted buttons bound to an action follow it.
//
// A command's keys are its action's shortcut, explicit (the platform's standard Quit and Preferences
// sequences are empty on some platforms). The list's own keys act only while the list has the focus,
// so Delete and Shift+Delete keep their editing meaning in the folder box; Escape belongs to a text
// field that has the focus; a lone Alt press and release opens the File menu, as a menu bar's Alt does.
class MainCommands : public QObject
{
    Q_OBJECT
public:
    enum Command {
        AddFiles,
        AddFolder,
        Remove, // the Remove menu
        RemoveSelected,
        RemoveCurrent,
        RemoveAll,
        Options,
        Help,
        Exit,
        Convert,
        Stop, // a converting list, or a folder search
        FileMenu,
        OptionsMenu,
        AboutMenu,
        About,
        Feedback,
        HomePage,
        Browse,
        Minimize,
        DropZone, // a click on the drop zone: the file dialog
        Count
    };

    // What the window is doing, for the one enabling pass.
    struct State
    {
        bool converting = false;
        bool listBusy = false;        // a folder search or Remove All runs
        bool stops = false;           // the start button is the Stop button
        bool outputFolderUsed = true; // not "beside each original"
    };

    MainCommands(QWidget* window, QWidget* list);

    QAction* action(Command command) const { return m_actions[command]; }
    static QKeySequence keys(Command command);
    // "Caption (Ctrl+O)": how a tooltip names a command with its keys.
    static QString withKeys(const QString& caption, Command command);
    // The command a popup menu's command word names.
    static std::optional<Command> FromWord(const QString& word);

    // A painted button triggers the command and is usable exactly when the command is, and not while a
    // list converts when lockedWhileConverting (the toolbar is locked then, its keys are not).
    void bind(HotArea* button, Command command, bool lockedWhileConverting = false);
    void update(const State& state);

signals:
    void triggered(MainCommands::Command command);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Binding
    {
        HotArea* button;
        Command command;
        bool locked;
    };
    void followActions();

    QWidget* m_window;
    QAction* m_actions[Count] = {};
    QList<Binding> m_bindings;
    bool m_converting = false;
    bool m_altAlone = false;
};
