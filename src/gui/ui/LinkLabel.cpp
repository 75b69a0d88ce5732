#include "LinkLabel.h"

#include <QMouseEvent>

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent)
{
    setMouseTracking(true);
}

void LinkLabel::setBold(bool bold)
{
    QFont f = font();
    if (f.bold() == bold)
        return;
    f.setBold(bold);
    setFont(f);
}

void LinkLabel::clearHover()
{
    if (m_boldOnHover)
        setBold(false);
}

void LinkLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (m_boldOnHover)
        setBold(true);
    event->accept();
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        emit clicked();
}
