#include "GuiSupport.h"

#include <QAction>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>

namespace TestSupport {

bool trigger(QObject* window, const char* action)
{
    auto* a = window->findChild<QAction*>(QString::fromLatin1(action));
    if (!a || !a->isEnabled())
        return false;
    a->trigger();
    return true;
}

bool drop(QWidget* target, const QMimeData* mime)
{
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, mime, Qt::LeftButton, {});
    QCoreApplication::sendEvent(target, &dropped);
    // Files are copied into the list, never moved away from where the user keeps them.
    return dropped.isAccepted() && enter.dropAction() == Qt::CopyAction && dropped.dropAction() == Qt::CopyAction;
}

OpenedUrls::OpenedUrls()
{
    for (const char* scheme : {"file", "http", "https"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), this, "open");
}

OpenedUrls::~OpenedUrls()
{
    for (const char* scheme : {"file", "http", "https"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

} // namespace TestSupport
