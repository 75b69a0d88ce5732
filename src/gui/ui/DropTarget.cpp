#include "DropTarget.h"

#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

void DropTarget::watch(QWidget* target)
{
    target->setAcceptDrops(true);
    target->installEventFilter(this);
}

bool DropTarget::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (e->mimeData()->hasUrls()) {
            e->setDropAction(Qt::CopyAction);
            e->accept();
        } else {
            e->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        e->setDropAction(Qt::CopyAction);
        e->accept();
        if (e->mimeData()->hasUrls())
            emit dropped(e->mimeData()->urls());
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}
