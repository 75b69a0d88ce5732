#include "KeyCommands.h"

#include <QAbstractSpinBox>
#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

KeyCommands::KeyCommands(QWidget* window, QWidget* list) : QObject(window), m_window(window)
{
    for (int c = 0; c < CommandCount; ++c) {
        const auto command = Command(c);
        auto* a = new QAction(this);
        a->setShortcut(keys(command));
        a->setAutoRepeat(false);
        const bool ofTheList = command == RemoveSelected || command == RemoveAll;
        a->setShortcutContext(ofTheList ? Qt::WidgetWithChildrenShortcut : Qt::WindowShortcut);
        (ofTheList ? list : window)->addAction(a);
        connect(a, &QAction::triggered, this, [this, command] {
            // Escape belongs to a text field while it has the focus (it may undo an edit there).
            const QWidget* focus = QApplication::focusWidget();
            if (command == Stop && (qobject_cast<const QLineEdit*>(focus) || qobject_cast<const QTextEdit*>(focus) ||
                                    qobject_cast<const QPlainTextEdit*>(focus)))
                return;
            emit triggered(command);
        });
        m_actions[c] = a;
    }
    m_actions[Stop]->setEnabled(false);
    qApp->installEventFilter(this);
}

QKeySequence KeyCommands::keys(Command command)
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
    case CommandCount:
        break;
    }
    return {};
}

QString KeyCommands::withKeys(const QString& caption, Command command)
{
    return QStringLiteral("%1 (%2)").arg(caption, keys(command).toString(QKeySequence::NativeText));
}

void KeyCommands::update(bool converting, bool listBusy, bool stops)
{
    for (Command c : {AddFiles, AddFolder, RemoveSelected, RemoveAll})
        m_actions[c]->setEnabled(!converting && !listBusy);
    for (Command c : {Options, FileMenu, OptionsMenu, AboutMenu})
        m_actions[c]->setEnabled(!converting);
    m_actions[Convert]->setEnabled(!converting && !listBusy);
    m_actions[Stop]->setEnabled(stops);
}

bool KeyCommands::eventFilter(QObject* watched, QEvent* event)
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
        // Alt+F and the like reach here only as a shortcut override: they are no lone Alt either.
        const auto* key = static_cast<QKeyEvent*>(event);
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
