#include "GripLabel.h"

#include "ui/SkinnedWindow.h"

#include <QMouseEvent>

namespace {
SkinnedWindow* skinnedWindow(QWidget* w)
{
    return qobject_cast<SkinnedWindow*>(w->window());
}
} // namespace

GripLabel::GripLabel(QWidget* parent) : QLabel(parent)
{
    setMouseTracking(true);
}

void GripLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (SkinnedWindow* w = skinnedWindow(this))
        w->BackgroundDrag(event->globalPosition().toPoint(), event->buttons());
    event->accept();
}

void GripLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (SkinnedWindow* w = skinnedWindow(this))
            w->BeginDrag(event->globalPosition().toPoint());
    }
    event->accept();
}

void GripLabel::mouseReleaseEvent(QMouseEvent* event)
{
    if (SkinnedWindow* w = skinnedWindow(this))
        w->EndDrag();
    event->accept();
}
