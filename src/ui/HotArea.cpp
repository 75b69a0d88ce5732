#include "HotArea.h"

#include <QMouseEvent>

HotArea::HotArea(QWidget* parent) : QLabel(parent)
{
    setMouseTracking(true);
}

void HotArea::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMoved();
    event->accept();
}

void HotArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit pressed();
    event->accept();
}

void HotArea::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        emit clicked();
}
