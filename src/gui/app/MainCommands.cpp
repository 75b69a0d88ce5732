#include "MainCommands.h"

#include "ui/HotArea.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {
struct Description
{
    const char* name; // the action's object name, after "action"
    const char* caption;
};

// By command, in the enum's order.
constexpr Description kDescriptions[MainCommands::Count] = {{"AddFiles", "Add File(s)"},
                                                            {"AddFolder", "Add Folder"},
                                                            {"Remove", "Remove"},
                                                            {"RemoveSelected", "Remove Selected"},
                                                            {"RemoveCurrent", "Remove Current"},
                                                            {"RemoveAll", "Remove All"},
                                                            {"Options", "Options"},
                                                            {"Help", "Help"},
                                                            {"Exit", "Exit"},
                                                            {"Convert", "Convert"},
                                                            {"Stop", "Stop"},
                                                            {"FileMenu", "File menu"},
                                                            {"OptionsMenu", "Options menu"},
                                                            {"AboutMenu", "About menu"},
                                                            {"About", "About"},
                                                            {"Feedback", "Feedback"},
                                                            {"HomePage", "Home page"},
                                                            {"Browse", "Browse"},
                                                            {"Minimize", "Minimize"},
                                                            {"DropZone", "Add a file"}};

// The popup menus' command words, part of the program since its first version.
constexpr std::pair<const char*, MainCommands::Command> kWords[] = {{"RemoveSelected", MainCommands::RemoveSelected},
                                                                    {"A", MainCommands::About},
                                                                    {"AddaFile", MainCommands::AddFiles},
                                                                    {"menuAddaFolder", MainCommands::AddFolder},
                                                                    {"menuExit", MainCommands::Exit},
                                                                    {"menuHelp", MainCommands::Help},
                                                                    {"menuOption", MainCommands::Options}};

bool isTextField(const QWidget* w)
{
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QTextEdit*>(w) ||
           qobject_cast<const QPlainTextEdit*>(w);
}
} // namespace

MainCommands::MainCommands(QWidget* window, QWidget* list) : QObject(window), m_window(window)
{
    setObjectName(QStringLiteral("commands"));
    for (int c = 0; c < Count; ++c) {
        const auto command = Command(c);
        auto* a = new QAction(QString::fromLatin1(kDescriptions[c].caption), this);
        a->setObjectName(QStringLiteral("action") + QLatin1String(kDescriptions[c].name));
        a->setShortcut(keys(command));
        a->setAutoRepeat(false);
        const bool ofTheList = command == RemoveSelected || command == RemoveAll;
        a->setShortcutContext(ofTheList ? Qt::WidgetWithChildrenShortcut : Qt::WindowShortcut);
        (ofTheList ? list : window)->addAction(a);
        connect(a, &QAction::triggered, this, [this, command] { emit triggered(command); });
        m_actions[c] = a;
    }
    m_actions[Stop]->setEnabled(false);
    qApp->installEventFilter(this);
}

QKeySequence MainCommands::keys(Command command)
{
    switch (command) {
    case AddFiles:
        return QKeySequence(Qt::CTRL | Qt::Key_O);
    case AddFolder:
        return QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O);
    case RemoveSelected:
        return QKeySequence(Qt::Key_Delete);
    case RemoveAll:
        return QKeySequence(Qt::SHIFT | Qt::Key_Delete);
    case Options:
        return QKeySequence(Qt::CTRL | Qt::Key_Comma);
    case Help:
        return QKeySequence(Qt::Key_F1);
    case Exit:
        return QKeySequence(Qt::CTRL | Qt::Key_Q);
    case Convert:
        return QKeySequence(Qt::CTRL | Qt::Key_Return);
    case Stop:
        return QKeySequence(Qt::Key_Escape);
    case FileMenu:
        return QKeySequence(Qt::ALT | Qt::Key_F);
    case OptionsMenu:
        return QKeySequence(Qt::ALT | Qt::Key_O);
    case AboutMenu:
        return QKeySequence(Qt::ALT | Qt::Key_A);
    default:
        return {};
    }
}

QString MainCommands::withKeys(const QString& caption, Command command)
{
    return QStringLiteral("%1 (%2)").arg(caption, keys(command).toString(QKeySequence::NativeText));
}

std::optional<MainCommands::Command> MainCommands::FromWord(const QString& word)
{
    for (const auto& [w, command] : kWords) {
        if (word == QLatin1String(w))
            return command;
    }
    return std::nullopt;
}

void MainCommands::bind(HotArea* button, Command command, bool lockedWhileConverting)
{
    button->setDimWhenDisabled(true);
    connect(button, &HotArea::clicked, m_actions[command], &QAction::trigger);
    connect(m_actions[command], &QAction::enabledChanged, this, &MainCommands::followActions);
    m_bindings.append({button, command, lockedWhileConverting});
    followActions();
}

void MainCommands::update(const State& s)
{
    m_converting = s.converting;
    const bool listFree = !s.converting && !s.listBusy;
    for (Command c : {AddFiles, AddFolder, Remove, RemoveSelected, RemoveCurrent, RemoveAll, Convert})
        m_actions[c]->setEnabled(listFree);
    // A file picked from the drop zone joins a converting list, as a dropped one does.
    m_actions[DropZone]->setEnabled(!s.listBusy);
    for (Command c : {Options, FileMenu, OptionsMenu, AboutMenu, Feedback})
        m_actions[c]->setEnabled(!s.converting);
    m_actions[Browse]->setEnabled(!s.converting && s.outputFolderUsed);
    m_actions[Stop]->setEnabled(s.stops);
    followActions();
}

void MainCommands::followActions()
{
    for (const Binding& b : m_bindings)
        b.button->setEnabled(m_actions[b.command]->isEnabled() && !(b.locked && m_converting));
}

bool MainCommands::eventFilter(QObject* watched, QEvent* event)
{
    // Only the events of the window's own widgets, seen once each (a key event also passes the window
    // object of the platform on its way).
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride &&
        type != QEvent::MouseButtonPress && type != QEvent::FocusOut)
        return false;
    if (!watched->isWidgetType() || static_cast<QWidget*>(watched)->window() != m_window)
        return false;
    if (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) {
        const auto* key = static_cast<QKeyEvent*>(event);
        // Escape belongs to a text field while it has the focus (it may undo an edit there): taking the
        // override keeps it from the Stop shortcut.
        if (type == QEvent::ShortcutOverride && key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier &&
            isTextField(static_cast<QWidget*>(watched))) {
            event->accept();
            return true;
        }
        // Alt+F and the like reach here only as a shortcut override: they are no lone Alt either.
        m_altAlone = key->key() == Qt::Key_Alt && (key->modifiers() & ~Qt::AltModifier) == 0 && !key->isAutoRepeat();
    } else if (type == QEvent::KeyRelease) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Alt && m_altAlone && !key->isAutoRepeat()) {
            m_altAlone = false;
            if (m_actions[FileMenu]->isEnabled())
                m_actions[FileMenu]->trigger();
        }
    } else {
        m_altAlone = false;
    }
    return false;
}
